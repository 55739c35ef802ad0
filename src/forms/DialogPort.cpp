#include "forms/DialogPort.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringDecoder>
#include <QStringEncoder>

#include "common/Cp932.h"
#include "forms/Utf8.h"

namespace tolvane::forms {

QString FromCp932(const std::string& cp932) { return QString::fromStdString(Cp932ToUtf8(cp932)); }

bool ToCp932(const QString& text, std::string& out) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToCp932(std::string(utf8.constData(), static_cast<std::size_t>(utf8.size())), out);
}

std::string ToCp932OrEmpty(const QString& text) {
  std::string out;
  if (!ToCp932(text, out)) return {};
  return out;
}

BoxAnswer DialogPort::ShowMessageBox(BoxKind kind, const std::string& cp932Text, BoxButtons buttons) {
  return Ask(kind, FromCp932(cp932Text), buttons);
}

BoxAnswer QtDialogPort::Ask(BoxKind kind, const QString& text, BoxButtons buttons) {
  QMessageBox::Icon icon = QMessageBox::Information;
  switch (kind) {
    case BoxKind::Error:
      icon = QMessageBox::Critical;
      break;
    case BoxKind::Warning:
      icon = QMessageBox::Warning;
      break;
    case BoxKind::Information:
      icon = QMessageBox::Information;
      break;
    case BoxKind::Confirm:
      icon = QMessageBox::Question;
      break;
  }
  QMessageBox::StandardButtons std = QMessageBox::Ok;
  if (buttons == BoxButtons::YesNo) std = QMessageBox::Yes | QMessageBox::No;
  if (buttons == BoxButtons::YesNoCancel) std = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  QMessageBox box(icon, QString::fromUtf8(tolvane::BoxCaption(kind)), text, std, QApplication::activeWindow());
  // The buttons speak Japanese whether or not Qt's own translations are installed.
  const std::pair<QMessageBox::StandardButton, const char8_t*> kTexts[] = {
      {QMessageBox::Ok, u8"OK"},
      {QMessageBox::Yes, u8"はい(&Y)"},
      {QMessageBox::No, u8"いいえ(&N)"},
      {QMessageBox::Cancel, u8"キャンセル"},
  };
  for (const auto& [button, caption] : kTexts)
    if (QAbstractButton* b = box.button(button)) b->setText(UiText(caption));
  switch (box.exec()) {
    case QMessageBox::Yes:
      return BoxAnswer::Yes;
    case QMessageBox::No:
      return BoxAnswer::No;
    case QMessageBox::Cancel:
      return BoxAnswer::Cancel;
    default:
      break;
  }
  // Closing a question with the title bar counts as its last button.
  if (buttons == BoxButtons::YesNoCancel) return BoxAnswer::Cancel;
  if (buttons == BoxButtons::YesNo) return BoxAnswer::No;
  return BoxAnswer::Ok;
}

void QtDialogPort::ShowPlain(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), text, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

QString QtDialogPort::GetOpenFileName(QWidget* parent, const QString& caption, const QString& directory,
                                      const QString& filter) {
  return QFileDialog::getOpenFileName(parent, caption, directory, filter);
}

QString QtDialogPort::GetSaveFileName(QWidget* parent, const QString& caption, const QString& presetName,
                                      const QString& filter, const QString& defaultSuffix) {
  QFileDialog dialog(parent, caption, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(defaultSuffix);
  if (!presetName.isEmpty()) dialog.selectFile(presetName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

bool QtDialogPort::GetText(QWidget* parent, const QString& caption, const QString& prompt, QString& text) {
  bool ok = false;
  const QString typed = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, text, &ok);
  if (ok) text = typed;
  return ok;
}

QColor DialogPort::GetColor(QWidget*, const QColor&) { return {}; }

QColor QtDialogPort::GetColor(QWidget* parent, const QColor& initial) {
  return QColorDialog::getColor(initial, parent);
}

namespace {
DialogPort* g_installed = nullptr;
}

DialogPort& Dialogs() {
  if (g_installed) return *g_installed;
  static QtDialogPort real;
  return real;
}

void SetDialogs(DialogPort* port) { g_installed = port; }

}  // namespace tolvane::forms
