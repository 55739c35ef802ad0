#pragma once
// The file the options live in (the settings of "ORVELL"/"Tolvane",
// Tolvane.conf in the user's settings folder), and what may be done with it.
// The options dialog reads and writes it only through these checks: anything
// but a regular file of a sane size is never opened (a FIFO would block the
// start for ever, a device or a huge file would be read without end), never
// written through, and a file that does not read as options is kept aside as
// Tolvane.conf.bad before it is replaced.
#include <QString>

namespace tolvane::forms {

// No store of twelve options comes near this.
constexpr qint64 kMaxOptionFileBytes = qint64{1024} * 1024;

// The path of the options' file, as QSettings would name it for the
// organisation and application (honouring QSettings::setPath), found without
// reading it.
QString OptionFilePath();

// Why the options cannot be read from `path`, as the text of a box; empty when
// they can (no file there yet, or a regular file of at most kMaxOptionFileBytes,
// symbolic links followed).
QString OptionFileProblem(const QString& path);

// Before the file is written: true when it may be, possibly after keeping a
// copy of what was there as `path` + ".bad" (then `kept` holds the text that
// says so). False, with `why`, when it must not be written: OptionFileProblem,
// a link to a file that does not read as options, or a copy that could not be
// kept.
bool PrepareOptionFileForWrite(const QString& path, QString& why, QString& kept);

// Whether other settings (the recent files) may be read from and written into
// the options' file at `path` as it is: no OptionFileProblem, and either no
// file yet or one that reads as options. Anything else is left to the options
// dialog, which says why.
bool SettingsFileUsable(const QString& path);

}  // namespace tolvane::forms
