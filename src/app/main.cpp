// The Tolvane IDE. Usage: tolvane [FILE.cas]
#include <QApplication>
#include <QImage>
#include <QLibraryInfo>
#include <QLocale>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "app/CoreBinding.h"
#include "app/Shell.h"
#include "forms/DialogPort.h"
#include "forms/UiFonts.h"
#include "forms/frmMain_f.h"

namespace {

// True when Qt can open a window: a display, or a platform chosen explicitly
// (offscreen, vnc, ...).
bool HasDisplay() {
  const auto set = [](const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
  };
  return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
  if (!HasDisplay()) {
    std::fprintf(stderr,
                 "tolvane: no display found. The IDE needs a graphical display.\n"
                 "  Run it under a virtual display:  xvfb-run build/tolvane [FILE.cas]\n"
                 "  or use the terminal tool:        build/tolvane-cli go FILE.cas  (see tolvane-cli --help)\n");
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tolvane"));
  QTranslator qtTranslator;
  if (qtTranslator.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qtTranslator);
  tolvane::forms::InstallFontSubstitutions();
  QApplication::setFont(tolvane::forms::MakeFont(tolvane::forms::FontPGothic(), 9));

  tolvane::app::Shell shell;
  shell.Create();
  shell.Main()->show();
  // The file name as the file system's bytes (QApplication has taken its own
  // options out of argv): Qt's decoding would lose a name that is not UTF-8.
  const bool opened = argc > 1 && shell.OpenFile(tolvane::forms::PathFromBytes(argv[1]));

  // For the documentation: TOLVANE_SCREENSHOT=FILE.png runs the opened program
  // (F9), saves a picture of the screen and quits. TOLVANE_SCREENSHOT_STEPS
  // replaces F9 by menu commands separated by spaces ("mnuBuild mnuDebugStart
  // mnuTrace"); "break:LABEL" among them sets a breakpoint on a label.
  const QString screenshot = qEnvironmentVariable("TOLVANE_SCREENSHOT");
  const QStringList steps = qEnvironmentVariable("TOLVANE_SCREENSHOT_STEPS", QStringLiteral("mnuRun"))
                                .split(QLatin1Char(' '), Qt::SkipEmptyParts);
  if (!screenshot.isEmpty()) {
    QTimer::singleShot(500, &app, [&shell, opened, screenshot, steps] {
      // The picture is taken whatever the run shows (a message box included).
      QTimer::singleShot(1500, qApp, [&shell, screenshot] {
        QScreen* screen = shell.Main()->screen();
        const QPixmap picture = screen ? screen->grabWindow(0) : shell.Main()->grab();
        // A palette image keeps the picture small.
        const bool saved = picture.toImage()
                               .convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither | Qt::AvoidDither)
                               .save(screenshot);
        std::fprintf(stderr, "tolvane: %s %s\n", saved ? "saved" : "could not save", qPrintable(screenshot));
        QApplication::exit(saved ? 0 : 1);
      });
      if (!opened) return;
      for (const QString& step : steps) {
        if (step.startsWith(QStringLiteral("break:"))) {
          auto& ec = shell.Core()->Execution();
          const std::string label = step.mid(6).toStdString();
          if (ec.Symbols().LabelExists(label)) ec.AddBreakpoint(ec.Symbols().AddressOfLabel(label), label);
        } else
          shell.Main()->RunCommand(step);
      }
    });
  }
  return app.exec();
}
