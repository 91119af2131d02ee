#include "app/skillupdatesdialog.h"

#include "common/plaintext.h"
#include "library/catalogue/homepath.h"
#include "library/disk/regularfile.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileInfo>
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

// The files the panes can show: each one the user edited, else SKILL.md.
QStringList shownFiles(const UpdatePreview &preview)
{
    return preview.editedFiles.isEmpty() ? QStringList{QStringLiteral("SKILL.md")} : preview.editedFiles;
}

QString textOf(const QString &folder, const QString &file)
{
    if (folder.isEmpty())
        return QCoreApplication::translate("SkillUpdatesDialog", "(Vesk kept no copy of what was installed)");
    // A link in a skill (or in a repository) could lead anywhere: it is not followed.
    const QString path = folder + u'/' + file;
    if (file.split(u'/').contains(QStringLiteral("..")) || QFileInfo(path).isSymLink())
        return QCoreApplication::translate("SkillUpdatesDialog", "(a link, not shown)");
    const RegularFileRead read = readRegularFile(path, 512 * 1024);
    return read.status == RegularFileRead::Status::Ok
        ? QString::fromUtf8(read.bytes)
        : QCoreApplication::translate("SkillUpdatesDialog", "(not there)");
}

} // namespace

namespace {

// Where an item of the skill list keeps what it stands for.
constexpr int projectRole = Qt::UserRole;
constexpr int nameRole = Qt::UserRole + 1;

QList<SkillUpdatesDialog::Outdated> atHome(const QStringList &names)
{
    QList<SkillUpdatesDialog::Outdated> skills;
    for (const QString &name : names)
        skills.append({QString(), name});
    return skills;
}

} // namespace

SkillUpdatesDialog::SkillUpdatesDialog(const QStringList &names, QWidget *parent)
    : SkillUpdatesDialog(atHome(names), parent)
{
}

SkillUpdatesDialog::SkillUpdatesDialog(const QList<Outdated> &skills, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("skillUpdatesDialog"));
    setWindowTitle(tr("Skill Updates"));
    setWindowModality(Qt::WindowModal);
    resize(980, 560);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("outdatedSkills"));
    for (const Outdated &skill : skills) {
        // A project's skill says which project: two may share a name.
        auto *item = new QListWidgetItem(skill.project.isEmpty()
                                             ? skill.name
                                             : tr("%1 (%2)").arg(skill.name, QFileInfo(skill.project).fileName()),
                                         m_list);
        item->setData(projectRole, skill.project);
        item->setData(nameRole, skill.name);
        if (!skill.project.isEmpty())
            item->setToolTip(plainToolTip(abbreviateHome(skill.project)));
    }
    m_list->setMaximumWidth(220);
    m_list->setAccessibleName(tr("Skills to update"));
    m_files = new QListWidget(this);
    m_files->setObjectName(QStringLiteral("shownFiles"));
    m_files->setMaximumWidth(220);
    m_files->setAccessibleName(tr("Files"));
    m_files->setToolTip(tr("The file the three panes show"));
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
    auto *left = new QVBoxLayout;
    const auto heading = [this](const QString &text, QWidget *buddy) {
        auto *label = new QLabel(text, this);
        label->setBuddy(buddy);
        return label;
    };
    left->addWidget(heading(tr("&Skills"), m_list));
    left->addWidget(m_list, 2);
    left->addWidget(heading(tr("&Files"), m_files));
    left->addWidget(m_files, 1);
    auto *top = new QHBoxLayout;
    top->addLayout(left);
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
    connect(m_files, &QListWidget::currentRowChanged, this, &SkillUpdatesDialog::showFile);
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

std::optional<SkillUpdatesDialog::Outdated> SkillUpdatesDialog::current() const
{
    const QListWidgetItem *item = m_list->currentItem();
    if (!item)
        return std::nullopt;
    return Outdated{item->data(projectRole).toString(), item->data(nameRole).toString()};
}

void SkillUpdatesDialog::loadPreview()
{
    const std::optional<Outdated> skill = current();
    if (!skill)
        return;
    setBusy(true);
    m_status->setText(tr("Fetching “%1”…").arg(skill->name));
    for (QPlainTextEdit *pane : m_panes)
        pane->clear();
    m_preview = UpdatePreview();
    m_files->clear();
    const quint64 request = ++m_request;
    auto preview = std::make_shared<UpdatePreview>();
    const QString project = skill->project;
    const QString name = skill->name;
    inBackground(this, [preview, project, name] { *preview = previewUpdate(project, name); }, [this, preview, request] {
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
    m_preview = preview;
    {
        const QSignalBlocker quiet(m_files);
        m_files->clear();
        m_files->addItems(shownFiles(preview));
    }
    m_files->setCurrentRow(0);
    showFile();
    if (!preview.changedUpstream)
        m_status->setText(tr("“%1” is the same upstream as when it was installed.").arg(preview.name));
    else if (preview.edited)
        m_status->setText(preview.editedFiles.isEmpty()
                              ? tr("You edited “%1” since it was installed. Choose how to update it.").arg(preview.name)
                              : preview.editedFiles.size() == 1
                              ? tr("You edited a file of “%1” since it was installed. Choose how to update it.").arg(preview.name)
                              : tr("You edited %1 files of “%2” since it was installed. Choose how to update it.")
                                    .arg(preview.editedFiles.size())
                                    .arg(preview.name));
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

void SkillUpdatesDialog::showFile()
{
    const QListWidgetItem *item = m_files->currentItem();
    if (!item)
        return;
    const QString file = item->text();
    m_panes[0]->setPlainText(textOf(m_preview.installed, file));
    m_panes[1]->setPlainText(textOf(m_preview.current, file));
    m_panes[2]->setPlainText(textOf(m_preview.upstream, file));
}

void SkillUpdatesDialog::keepMine()
{
    if (QListWidgetItem *item = m_list->currentItem()) {
        m_status->setText(tr("“%1” is kept as it is.").arg(item->data(nameRole).toString()));
        delete m_list->takeItem(m_list->row(item));
    }
}

void SkillUpdatesDialog::apply(EditPolicy policy)
{
    const std::optional<Outdated> skill = current();
    if (!skill || m_busy)
        return;
    setBusy(true);
    const QString project = skill->project;
    const QString name = skill->name;
    auto updates = std::make_shared<QList<SkillUpdate>>();
    inBackground(this, [updates, project, name, policy] { *updates = updateSkills(project, {name}, policy); },
                 [this, updates, project, name] {
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
                     if (QListWidgetItem *done = m_list->currentItem(); done && done->data(nameRole).toString() == name
                         && done->data(projectRole).toString() == project)
                         delete m_list->takeItem(m_list->row(done));
                     Q_EMIT skillsChanged();
                     Q_EMIT applied();
                 });
}
