#include "gui/qt_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace qv {

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

QString title(const std::string& t) { return t.empty() ? QStringLiteral("Quorvel") : q(t); }

QMessageBox::StandardButton toQt(MsgAnswer a) {
  switch (a) {
    case MsgAnswer::Ok: return QMessageBox::Ok;
    case MsgAnswer::Cancel: return QMessageBox::Cancel;
    case MsgAnswer::Yes: return QMessageBox::Yes;
    case MsgAnswer::No: return QMessageBox::No;
    case MsgAnswer::Retry: return QMessageBox::Retry;
  }
  return QMessageBox::Ok;
}

QMessageBox::StandardButtons buttonsOf(MsgButtons b) {
  switch (b) {
    case MsgButtons::Ok: return QMessageBox::Ok;
    case MsgButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MsgButtons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

QString patternsFor(QString patterns) {
  QStringList out;
  for (QString p : patterns.split(QRegularExpression("[;, ]+"), Qt::SkipEmptyParts)) {
    if (p == "*.*" || p == "*") {
      out << "*";
      continue;
    }
    QString lo = p.toLower(), up = p.toUpper();
    out << lo;
    if (up != lo) out << up;
  }
  out.removeDuplicates();
  return out.join(' ');
}

}  // namespace

QStringList QtDialogs::nameFilters(const std::string& filter) {
  QStringList out;
  QString f = q(filter).trimmed();
  if (f.isEmpty()) return {QStringLiteral("All files (*)")};
  if (f.contains('|')) {
    QStringList parts = f.split('|');
    for (int i = 0; i + 1 < parts.size(); i += 2) {
      QString desc = parts[i].trimmed();
      int paren = desc.indexOf('(');
      if (paren > 0) desc = desc.left(paren).trimmed();
      if (desc.isEmpty()) desc = QStringLiteral("Files");
      out << desc + " (" + patternsFor(parts[i + 1]) + ")";
    }
    if (parts.size() % 2 == 1 && !parts.back().trimmed().isEmpty())
      out << QStringLiteral("Files (") + patternsFor(parts.back()) + ")";
  } else {
    QString pats = patternsFor(f);
    out << (pats == "*" ? QStringLiteral("All files (*)") : QStringLiteral("Files (") + pats + ")");
  }
  if (!out.isEmpty() && !out.join(' ').contains("(*)")) out << QStringLiteral("All files (*)");
  return out;
}

MsgAnswer QtDialogs::message(const std::string& text, const std::string& t, MsgButtons buttons, MsgIcon icon,
                             MsgAnswer defaultAnswer) {
  QMessageBox box(parent_);
  box.setWindowTitle(title(t));
  box.setText(q(text));
  switch (icon) {
    case MsgIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MsgIcon::Error: box.setIcon(QMessageBox::Critical); break;
    case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
  }
  box.setStandardButtons(buttonsOf(buttons));
  if (buttonsOf(buttons) & toQt(defaultAnswer)) box.setDefaultButton(toQt(defaultAnswer));
  int r = box.exec();
  switch (r) {
    case QMessageBox::Ok: return MsgAnswer::Ok;
    case QMessageBox::Yes: return MsgAnswer::Yes;
    case QMessageBox::No: return MsgAnswer::No;
    case QMessageBox::Retry: return MsgAnswer::Retry;
    case QMessageBox::Cancel: return MsgAnswer::Cancel;
    default:
      // Closed by the window frame or Escape without a Cancel button.
      if (buttons == MsgButtons::Ok) return MsgAnswer::Ok;
      if (buttons == MsgButtons::YesNo) return MsgAnswer::No;
      return MsgAnswer::Cancel;
  }
}

std::string QtDialogs::input(const std::string& prompt, const std::string& t, const std::string& initial) {
  bool ok = false;
  QString s = QInputDialog::getText(parent_, title(t), q(prompt), QLineEdit::Normal, q(initial), &ok);
  return ok ? s.toStdString() : std::string();
}

static void prepare(QFileDialog& d, const FileDialogOptions& o) {
  if (!o.title.empty()) d.setWindowTitle(q(o.title));
  QString folder = q(o.initialFolder);
  if (!folder.isEmpty() && QDir(folder).exists()) d.setDirectory(folder);
  d.setNameFilters(QtDialogs::nameFilters(o.filter));
  if (!o.defaultExt.empty()) d.setDefaultSuffix(q(o.defaultExt));
  if (!o.initialName.empty()) d.selectFile(q(o.initialName));
}

std::vector<std::string> QtDialogs::openFile(const FileDialogOptions& o) {
  QFileDialog d(parent_);
  d.setAcceptMode(QFileDialog::AcceptOpen);
  d.setFileMode(o.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  prepare(d, o);
  std::vector<std::string> out;
  if (d.exec() != QDialog::Accepted) return out;
  for (const QString& f : d.selectedFiles()) out.push_back(f.toStdString());
  return out;
}

std::string QtDialogs::saveFile(const FileDialogOptions& o) {
  QFileDialog d(parent_);
  d.setAcceptMode(QFileDialog::AcceptSave);
  d.setFileMode(QFileDialog::AnyFile);
  prepare(d, o);
  if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return {};
  return d.selectedFiles().first().toStdString();
}

}  // namespace qv
