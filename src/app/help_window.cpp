#include "app/help_window.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QUrl>

#include "app/help_book.h"
#include "ui_help_window.h"

namespace help {
namespace {

QPointer<frmHelp>& Window() {
    static QPointer<frmHelp> window;
    return window;
}

}  // namespace

frmHelp::frmHelp(QString folder, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ui(std::make_unique<Ui::frmHelp>()), m_folder(std::move(folder)) {
    m_ui->setupUi(this);
    m_ui->txtPage->setSearchPaths({m_folder});
    m_ui->splMain->setSizes({260, 600});
    connect(m_ui->cmdBack, &QPushButton::clicked, m_ui->txtPage, &QTextBrowser::backward);
    connect(m_ui->cmdForward, &QPushButton::clicked, m_ui->txtPage, &QTextBrowser::forward);
    connect(m_ui->cmdContents, &QPushButton::clicked, this, [this] { ShowTopic("index.html"); });
    connect(m_ui->cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(m_ui->txtPage, &QTextBrowser::backwardAvailable, m_ui->cmdBack, &QWidget::setEnabled);
    connect(m_ui->txtPage, &QTextBrowser::forwardAvailable, m_ui->cmdForward, &QWidget::setEnabled);
    connect(m_ui->txtSearch, &QLineEdit::textChanged, this, &frmHelp::FillTopics);
    connect(m_ui->lstTopics, &QListWidget::itemActivated, this, &frmHelp::TopicChosen);
    connect(m_ui->lstTopics, &QListWidget::itemClicked, this, &frmHelp::TopicChosen);
    m_ui->cmdBack->setEnabled(false);
    m_ui->cmdForward->setEnabled(false);
    FillTopics({});
}

frmHelp::~frmHelp() = default;

void frmHelp::ShowTopic(const QString& file) { m_ui->txtPage->setSource(QUrl::fromLocalFile(m_folder + "/" + file)); }

QString frmHelp::CurrentTopic() const { return QFileInfo(m_ui->txtPage->source().toLocalFile()).fileName(); }

void frmHelp::FillTopics(const QString& query) {
    m_ui->lstTopics->clear();
    const std::vector<Topic> topics = query.trimmed().isEmpty() ? Contents() : Search(m_folder, query);
    for (const Topic& topic : topics) {
        auto* item = new QListWidgetItem(topic.title, m_ui->lstTopics);
        item->setData(Qt::UserRole, topic.file);
    }
}

void frmHelp::TopicChosen(QListWidgetItem* item) {
    if (item) ShowTopic(item->data(Qt::UserRole).toString());
}

frmHelp* Open(int context, const QString& appFolder) {
    QPointer<frmHelp>& window = Window();
    QWidget* modal = QApplication::activeModalWidget();
    if (window && window->parentWidget() != modal) delete window.data();
    if (!window) {
        const QString folder = BookFolder(appFolder);
        if (folder.isEmpty()) return nullptr;
        window = new frmHelp(folder, modal);
        if (!modal) window->setAttribute(Qt::WA_QuitOnClose, false);
    }
    window->ShowTopic(TopicFile(context));
    window->show();
    window->raise();
    window->activateWindow();
    return window.data();
}

frmHelp* Current() { return Window().data(); }

}  // namespace help
