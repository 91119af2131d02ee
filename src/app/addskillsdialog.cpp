#include "app/addskillsdialog.h"

#include "common/plaintext.h"
#include "library/catalogue/homepath.h"
#include "library/checks/skillchecker.h"
#include "library/disk/regularfile.h"
#include "library/files/skillplaces.h"
#include "library/sources/skilladd.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QThread>
#include <QVBoxLayout>

namespace {

constexpr int skillRole = Qt::UserRole + 1;

} // namespace

AddSkillsDialog::AddSkillsDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("addSkillsDialog"));
    setWindowTitle(tr("Add Skills from Repository"));
    setWindowModality(Qt::WindowModal);
    resize(760, 520);

    m_source = new QLineEdit(this);
    m_source->setObjectName(QStringLiteral("sourceField"));
    m_source->setPlaceholderText(tr("owner/repo, a git URL or a folder"));
    m_source->setClearButtonEnabled(true);
    m_ref = new QLineEdit(this);
    m_ref->setPlaceholderText(tr("default branch"));
    m_ref->setMaximumWidth(160);
    m_find = new QPushButton(tr("Find Skills"), this);
    m_find->setObjectName(QStringLiteral("findSkills"));
    auto *sourceRow = new QHBoxLayout;
    sourceRow->addWidget(m_source, 1);
    sourceRow->addWidget(new QLabel(tr("Branch or tag:"), this));
    sourceRow->addWidget(m_ref);
    sourceRow->addWidget(m_find);

    m_status = new QLabel(tr("Vesk fetches with your own git, only when you ask."), this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setWordWrap(true);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("foundSkills"));
    m_preview = new QPlainTextEdit(this);
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setReadOnly(true);
    m_preview->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto *splitter = new QSplitter(this);
    splitter->addWidget(m_list);
    splitter->addWidget(m_preview);
    splitter->setStretchFactor(1, 2);

    m_scope = new QComboBox(this);
    m_scope->setObjectName(QStringLiteral("scope"));
    m_scope->addItem(tr("Home folder"), QString());
    m_scope->addItem(tr("Other Project Folder…"), QVariant());
    m_place = new QComboBox(this);
    m_place->setObjectName(QStringLiteral("place"));
    fillPlaces();
    m_copy = new QCheckBox(tr("&Copy instead of linking to the shared folder"), this);
    auto *placeRow = new QFormLayout;
    placeRow->addRow(tr("Install &in:"), m_scope);
    placeRow->addRow(tr("Install &for:"), m_place);
    placeRow->addRow(QString(), m_copy);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_install = m_buttons->addButton(tr("Install"), QDialogButtonBox::AcceptRole);
    m_install->setObjectName(QStringLiteral("install"));
    m_install->setEnabled(false);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(sourceRow);
    layout->addWidget(m_status);
    layout->addWidget(splitter, 1);
    layout->addLayout(placeRow);
    layout->addWidget(m_buttons);

    connect(m_find, &QPushButton::clicked, this, &AddSkillsDialog::findSkills);
    connect(m_source, &QLineEdit::returnPressed, this, &AddSkillsDialog::findSkills);
    connect(m_list, &QListWidget::currentRowChanged, this, &AddSkillsDialog::showPreview);
    connect(m_scope, &QComboBox::activated, this, [this](int index) {
        // The last entry asks for a folder; the others are places already.
        if (!m_scope->itemData(index).isValid())
            chooseProjectFolder();
        else
            fillPlaces();
    });
    connect(m_list, &QListWidget::itemChanged, this, [this] {
        bool any = false;
        for (int row = 0; row < m_list->count(); ++row)
            any = any || m_list->item(row)->checkState() == Qt::Checked;
        m_install->setEnabled(any && !m_busy);
    });
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_install, &QPushButton::clicked, this, [this] {
        if (installChosen())
            accept();
    });
}

AddSkillsDialog::~AddSkillsDialog() = default;

void AddSkillsDialog::setBusy(bool busy)
{
    m_busy = busy;
    m_find->setEnabled(!busy);
    m_source->setEnabled(!busy);
    m_ref->setEnabled(!busy);
    m_install->setEnabled(false);
}

void AddSkillsDialog::findSkills()
{
    if (m_busy || m_source->text().trimmed().isEmpty())
        return;
    m_list->clear();
    m_preview->clear();
    setBusy(true);
    m_status->setText(tr("Fetching…"));
    auto fetch = std::make_shared<Fetch>();
    fetch->sourceText = m_source->text();
    fetch->ref = m_ref->text().trimmed();
    fetch->workingDirectory = QDir::homePath();
    m_fetch = fetch;
    // git may take a while: off the window's thread. The worker touches only `fetch`.
    QThread *worker = QThread::create([fetch] {
        fetch->source = parseSkillSource(fetch->sourceText, fetch->workingDirectory, &fetch->error);
        if (!fetch->source)
            return;
        fetch->fetched = fetchSource(*fetch->source, fetch->ref);
        if (!fetch->fetched.error.isEmpty()) {
            fetch->error = fetch->fetched.error;
            return;
        }
        fetch->found = ::findSkills(fetch->fetched.root, rootSkillName(*fetch->source));
        if (fetch->found.isEmpty())
            fetch->error = AddSkillsDialog::tr("No skills there: no folder holds a SKILL.md.");
    });
    // Deleted as soon as it ends, by a queued call rather than deleteLater, which
    // waits for the event loop level it was asked from.
    connect(worker, &QThread::finished, QCoreApplication::instance(), [worker] {
        worker->wait();
        delete worker;
    }, Qt::QueuedConnection);
    connect(worker, &QThread::finished, this, [this, fetch] {
        if (fetch != m_fetch)
            return; // an older search
        setBusy(false);
        showFound();
        Q_EMIT searchFinished();
    });
    worker->start();
}

void AddSkillsDialog::showFound()
{
    if (!m_fetch->error.isEmpty()) {
        m_status->setText(m_fetch->error);
        return;
    }
    m_status->setText(m_fetch->found.size() == 1
                          ? tr("1 skill found.")
                          : tr("%1 skills found. Untick the ones not to install.").arg(m_fetch->found.size()));
    const QSignalBlocker blocker(m_list);
    for (qsizetype i = 0; i < m_fetch->found.size(); ++i) {
        const FoundSkill &skill = m_fetch->found.at(i);
        auto *item = new QListWidgetItem(skill.name, m_list);
        item->setData(skillRole, int(i));
        item->setToolTip(plainToolTip(skill.relative.isEmpty() ? skill.name : skill.relative));
        if (skill.problem.isEmpty()) {
            // Every skill by default, as `vesk add` without --skill: untick what is not wanted.
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Checked);
        } else {
            item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
        }
    }
    m_list->setCurrentRow(0);
    showPreview();
    m_install->setEnabled(true);
    m_install->setDefault(true);
    m_list->setFocus(); // Space ticks and unticks, Enter installs
}

void AddSkillsDialog::showPreview()
{
    const QListWidgetItem *item = m_list->currentItem();
    if (!item || !m_fetch) {
        m_preview->clear();
        return;
    }
    const FoundSkill &skill = m_fetch->found.at(item->data(skillRole).toInt());
    QStringList lines{skill.name, skill.description, QString()};
    if (!skill.problem.isEmpty())
        lines << tr("Cannot be installed: %1").arg(skill.problem) << QString();
    const QString file = skill.folder + QStringLiteral("/SKILL.md");
    const QList<Finding> findings = checkSkillFile(file);
    if (findings.isEmpty())
        lines << tr("No problems found.");
    for (const Finding &finding : findings)
        lines << QStringLiteral("%1 %2: %3")
                     .arg(FindingLevels::name(finding.level))
                     .arg(finding.line > 0 ? tr("line %1").arg(finding.line) : tr("file"), finding.message);
    const RegularFileRead read = readRegularFile(file, 256 * 1024);
    lines << QString() << QStringLiteral("──────") << QString::fromUtf8(read.bytes);
    m_preview->setPlainText(lines.join(u'\n'));
}

void AddSkillsDialog::setProjects(const QStringList &projects)
{
    for (const QString &project : projects) {
        if (QDir::isAbsolutePath(project) && m_scope->findData(project) < 0)
            m_scope->insertItem(m_scope->count() - 1, abbreviateHome(project), project);
    }
}

void AddSkillsDialog::setProjectFolder(const QString &folder)
{
    const QString clean = QDir::cleanPath(folder);
    if (clean.isEmpty() || !QDir::isAbsolutePath(clean))
        return;
    setProjects({clean});
    m_scope->setCurrentIndex(m_scope->findData(clean));
    fillPlaces();
}

void AddSkillsDialog::chooseProjectFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Install in Project Folder"), QDir::homePath());
    if (folder.isEmpty()) {
        // Cancelled: back to the home folder rather than to a choice not made.
        m_scope->setCurrentIndex(0);
        fillPlaces();
        return;
    }
    setProjectFolder(folder);
}

void AddSkillsDialog::fillPlaces()
{
    const QString project = m_scope->currentData().toString();
    const QString chosen = m_place->currentData().toString();
    m_place->clear();
    for (const PlacementTool &tool : placementTools()) {
        // A tool that reads the shared folder itself needs no place of its own.
        const QString folder = placementFolder(tool, project);
        if (!tool || (!folder.isEmpty() && folder != placementFolder(std::nullopt, project)))
            m_place->addItem(placementTitle(tool), placementKey(tool));
    }
    m_place->setCurrentIndex(qMax(0, m_place->findData(chosen)));
}

bool AddSkillsDialog::installChosen()
{
    if (!m_fetch || !m_fetch->source)
        return false;
    const QString project = m_scope->currentData().toString();
    if (!project.isEmpty() && !QFileInfo(project).isDir()) {
        m_status->setText(tr("“%1” is not a folder that can be installed into.").arg(abbreviateHome(project)));
        return false;
    }
    const std::optional<PlacementTool> place = placementFromKey(m_place->currentData().toString());
    QList<PlacementTool> tools;
    if (place)
        tools.append(*place);
    QStringList changes;
    QStringList failures;
    int installed = 0;
    for (int row = 0; row < m_list->count(); ++row) {
        const QListWidgetItem *item = m_list->item(row);
        if (item->checkState() != Qt::Checked)
            continue;
        const FoundSkill &skill = m_fetch->found.at(item->data(skillRole).toInt());
        QString error;
        if (installFoundSkill(skill, *m_fetch->source, m_fetch->fetched, m_fetch->ref, project, tools,
                              m_copy->isChecked(), QString(), &changes, &error))
            ++installed;
        else
            failures << QStringLiteral("%1: %2").arg(skill.name, error);
    }
    if (installed > 0)
        Q_EMIT skillsInstalled();
    if (!failures.isEmpty()) {
        m_status->setText(failures.join(u'\n'));
        return false;
    }
    return installed > 0;
}
