#include "app/qt_ui.h"

#include "app/help_window.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>

namespace app {
namespace {

QMessageBox::StandardButtons ToQt(ui::Buttons b) {
    switch (b) {
        case ui::Buttons::Ok: return QMessageBox::Ok;
        case ui::Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
        case ui::Buttons::AbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
        case ui::Buttons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case ui::Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
        case ui::Buttons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon ToQt(ui::Icon i) {
    switch (i) {
        case ui::Icon::None: return QMessageBox::NoIcon;
        case ui::Icon::Critical: return QMessageBox::Critical;
        case ui::Icon::Question: return QMessageBox::Question;
        case ui::Icon::Exclamation: return QMessageBox::Warning;
        case ui::Icon::Information: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

ui::Answer FromQt(int button) {
    switch (button) {
        case QMessageBox::Cancel: return ui::Answer::Cancel;
        case QMessageBox::Abort: return ui::Answer::Abort;
        case QMessageBox::Retry: return ui::Answer::Retry;
        case QMessageBox::Ignore: return ui::Answer::Ignore;
        case QMessageBox::Yes: return ui::Answer::Yes;
        case QMessageBox::No: return ui::Answer::No;
        default: return ui::Answer::Ok;
    }
}

}  // namespace

ui::Answer QtUi::MessageBox(const std::string& text, ui::Buttons buttons, ui::Icon icon, const std::string& title) {
    QMessageBox box(ToQt(icon), QString::fromStdString(title), QString::fromStdString(text), ToQt(buttons),
                    QApplication::activeWindow());
    return FromQt(box.exec());
}

std::string QtUi::InputBox(const std::string& prompt, const std::string& title, const std::string& defaultText) {
    bool ok = false;
    const QString answer = QInputDialog::getText(QApplication::activeWindow(), QString::fromStdString(title),
                                                 QString::fromStdString(prompt), QLineEdit::Normal,
                                                 QString::fromStdString(defaultText), &ok);
    return ok ? answer.toStdString() : std::string();
}

void QtUi::SetBusyCursor(bool busy) {
    if (busy == m_busy) return;
    m_busy = busy;
    if (busy) QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    else QGuiApplication::restoreOverrideCursor();
}

void QtUi::ShowHelp(const std::string& helpFile, int context) {
    // A compiled help file goes first when it is there and a CHM viewer is installed: the
    // viewer opens it at the context. Otherwise the program's own help book opens at the
    // context's topic, in the help window.
    const QString file = QString::fromStdString(helpFile);
    if (file.endsWith(".chm", Qt::CaseInsensitive) && QFileInfo::exists(file)) {
        if (const QString xchm = QStandardPaths::findExecutable("xchm"); !xchm.isEmpty()) {
            QProcess::startDetached(xchm, {"-c", QString::number(context), file});
            return;
        }
        if (const QString kchm = QStandardPaths::findExecutable("kchmviewer"); !kchm.isEmpty()) {
            QProcess::startDetached(kchm, {file});
            return;
        }
    }
    const QString appFolder = file.isEmpty() ? QString() : QFileInfo(file).absolutePath();
    if (help::Open(context, file.contains('/') ? appFolder : QString())) return;
    QMessageBox::information(QApplication::activeWindow(), "Archive",
                             QString("Help is not available: the help book (index.html) is not installed "
                                     "beside the program (context %1).")
                                 .arg(context));
}

void QtUi::DoEvents() { QApplication::processEvents(); }

ui::ScreenSize QtUi::Screen() {
    ui::ScreenSize s;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect g = screen->geometry();
        s.widthPixels = g.width();
        s.heightPixels = g.height();
        s.twipsPerPixelX = 1440.0 / screen->logicalDotsPerInchX();
        s.twipsPerPixelY = 1440.0 / screen->logicalDotsPerInchY();
    }
    return s;
}

}  // namespace app
