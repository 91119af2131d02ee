#include "app/skillupdatesdialog.h"

#include "library/disk/regularfile.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QThread>
#include <QVBoxLayout>

namespace {

// Runs `work` off the window's thread and `done` on it while `context` lives.
template<typename Work, typename Done>
void inBackground(QObject *context, Work work, Done done)
{
    QThread *worker = QThread::create(work);
    QObject::connect(worker, &QThread::finished, QCoreApplication::instance(), [worker] {
        worker->wait();
        delete worker;
    }, Qt::QueuedConnection);
    QObject::connect(worker, &QThread::finished, context, done);
    worker->start();
}

// The file the panes show: the first one the user edited, else SKILL.md.
QString shownFile(const UpdatePreview &preview)
{
    return preview.editedFiles.isEmpty() ? QStringLiteral("SKILL.md") : preview.editedFiles.constFirst();
}

QString textOf(const QString &folder, const QString &file)
{
    if (folder.isEmpty())
        return QCoreApplication::translate("SkillUpdatesDialog", "(Vesk kept no copy of what was installed)");
    const RegularFileRead read = readRegularFile(folder + u'/' + file, 512 * 1024);
    return read.status == RegularFileRead::Status::Ok
        ? QString::fromUtf8(read.bytes)
        : QCoreApplication::translate("SkillUpdatesDialog", "(not there)");
}

} // namespace

SkillUpdatesDialog::SkillUpdatesDialog(const QStringList &names, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("skillUpdatesDialog"));
    setWindowTitle(tr("Skill Updates"));
    setWindowModality(Qt::WindowModal);
    resize(980, 560);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("outdatedSkills"));
    m_list->addItems(names);
    m_list->setMaximumWidth(220);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);

    auto *panes = new QSplitter(this);
    const QString titles[3] = {tr("Installed"), tr("Yours"), tr("Upstream")};
    for (int i = 0; i < 3; ++i) {
        auto *holder = new QWidget(panes);
        auto *column = new QVBoxLayout(holder);
        column->setContentsMargins(0, 0, 0, 0);
        auto *title = new QLabel(titles[i], holder);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        m_panes[i] = new QPlainTextEdit(holder);
        m_panes[i]->setReadOnly(true);
        m_panes[i]->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        column->addWidget(title);
        column->addWidget(m_panes[i], 1);
        panes->addWidget(holder);
    }

    auto *right = new QVBoxLayout;
    right->addWidget(m_status);
    right->addWidget(panes, 1);
    auto *top = new QHBoxLayout;
    top->addWidget(m_list);
    top->addLayout(right, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    m_keep = buttons->addButton(tr("Keep Mine"), QDialogButtonBox::ActionRole);
    m_theirs = buttons->addButton(tr("Take Theirs"), QDialogButtonBox::ActionRole);
    m_merge = buttons->addButton(tr("Merge"), QDialogButtonBox::ActionRole);
    m_update = buttons->addButton(tr("Update"), QDialogButtonBox::ActionRole);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_keep, &QPushButton::clicked, this, &SkillUpdatesDialog::keepMine);
    connect(m_theirs, &QPushButton::clicked, this, [this] { apply(EditPolicy::Theirs); });
    connect(m_merge, &QPushButton::clicked, this, [this] { apply(EditPolicy::Merge); });
    connect(m_update, &QPushButton::clicked, this, [this] { apply(EditPolicy::Refuse); });
    connect(m_list, &QListWidget::currentRowChanged, this, &SkillUpdatesDialog::loadPreview);
    setBusy(true);
    m_list->setCurrentRow(0);
}

SkillUpdatesDialog::~SkillUpdatesDialog() = default;

void SkillUpdatesDialog::setBusy(bool busy)
{
    m_busy = busy;
    for (QPushButton *button : {m_keep, m_theirs, m_merge, m_update})
        button->setEnabled(!busy);
}

void SkillUpdatesDialog::loadPreview()
{
    const QListWidgetItem *item = m_list->currentItem();
    if (!item)
        return;
    setBusy(true);
    m_status->setText(tr("Fetching “%1”…").arg(item->text()));
    for (QPlainTextEdit *pane : m_panes)
        pane->clear();
    const quint64 request = ++m_request;
    auto preview = std::make_shared<UpdatePreview>();
    const QString name = item->text();
    inBackground(this, [preview, name] { *preview = previewUpdate(QString(), name); }, [this, preview, request] {
        if (request == m_request)
            showPreview(*preview);
    });
}

void SkillUpdatesDialog::showPreview(const UpdatePreview &preview)
{
    setBusy(false);
    if (!preview.error.isEmpty()) {
        m_status->setText(preview.error);
        for (QPushButton *button : {m_theirs, m_merge, m_update})
            button->setEnabled(false);
        Q_EMIT previewShown();
        return;
    }
    const QString file = shownFile(preview);
    m_panes[0]->setPlainText(textOf(preview.installed, file));
    m_panes[1]->setPlainText(textOf(preview.current, file));
    m_panes[2]->setPlainText(textOf(preview.upstream, file));
    if (!preview.changedUpstream)
        m_status->setText(tr("“%1” is the same upstream as when it was installed.").arg(preview.name));
    else if (preview.edited)
        m_status->setText(preview.editedFiles.isEmpty()
                              ? tr("You edited “%1” since it was installed. Choose how to update it.").arg(preview.name)
                              : tr("You edited “%1” since it was installed (%2). Choose how to update it; shown: %3.")
                                    .arg(preview.name, preview.editedFiles.join(QStringLiteral(", ")), file));
    else
        m_status->setText(tr("“%1” was not edited since it was installed: Update replaces it with upstream's.").arg(preview.name));
    m_keep->setVisible(preview.edited);
    m_theirs->setVisible(preview.edited);
    m_merge->setVisible(preview.edited);
    m_merge->setEnabled(!preview.installed.isEmpty());
    m_update->setVisible(!preview.edited);
    m_update->setEnabled(preview.changedUpstream);
    Q_EMIT previewShown();
}

void SkillUpdatesDialog::keepMine()
{
    if (QListWidgetItem *item = m_list->currentItem()) {
        m_status->setText(tr("“%1” is kept as it is.").arg(item->text()));
        delete m_list->takeItem(m_list->row(item));
    }
}

void SkillUpdatesDialog::apply(EditPolicy policy)
{
    const QListWidgetItem *item = m_list->currentItem();
    if (!item || m_busy)
        return;
    setBusy(true);
    const QString name = item->text();
    auto updates = std::make_shared<QList<SkillUpdate>>();
    inBackground(this, [updates, name, policy] { *updates = updateSkills(QString(), {name}, policy); },
                 [this, updates, name] {
                     setBusy(false);
                     const SkillUpdate update = updates->value(0);
                     switch (update.state) {
                     case SkillUpdate::State::Updated:
                     case SkillUpdate::State::Merged:
                     case SkillUpdate::State::UpToDate:
                         m_status->setText(tr("“%1” is up to date.").arg(name));
                         break;
                     case SkillUpdate::State::Conflicts:
                         m_status->setText(tr("“%1” merged; conflicts are marked in %2 for the editor.")
                                               .arg(name, update.conflictFiles.join(QStringLiteral(", "))));
                         break;
                     case SkillUpdate::State::Edited:
                     case SkillUpdate::State::Failed:
                         m_status->setText(tr("“%1” was not updated: %2").arg(name, update.error));
                         Q_EMIT applied();
                         return;
                     }
                     if (QListWidgetItem *done = m_list->currentItem(); done && done->text() == name)
                         delete m_list->takeItem(m_list->row(done));
                     Q_EMIT skillsChanged();
                     Q_EMIT applied();
                 });
}
