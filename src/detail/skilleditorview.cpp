#include "detail/skilleditorview.h"

#include "common/noticebar.h"
#include "common/palettecolors.h"
#include "common/plaintext.h"
#include "detail/findbar.h"
#include "detail/findingstrip.h"
#include "detail/highlightedtexteditor.h"
#include "library/checks/skillchecker.h"
#include "library/records/frontmatter.h"
#include "library/catalogue/homepath.h"
#include "library/store/modelcontext.h"
#include "library/records/skill.h"
#include "library/catalogue/skilllocations.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFrame>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

SkillEditorView::SkillEditorView(QWidget *parent)
    : QWidget(parent)
    , m_editor(new HighlightedTextEditor(this))
    , m_findBar(new FindBar(m_editor, this))
    , m_notice(new QLabel(this))
    , m_fateBar(new NoticeBar(this))
    , m_badge(new QLabel(tr("Modified"), this))
    , m_watcher(new QFileSystemWatcher(this))
    , m_strip(new FindingStrip(this))
    , m_checkTimer(new QTimer(this))
    , m_checkWatcher(new QFutureWatcher<QList<Finding>>(this))
{
    setObjectName(QStringLiteral("skillEditorView"));
    m_notice->setObjectName(QStringLiteral("readOnlyNotice"));
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setWordWrap(true);
    m_notice->setContentsMargins(16, 10, 16, 10);
    m_notice->hide();
    m_fateBar->setObjectName(QStringLiteral("fileFateBar"));
    m_fateBar->setActionText(tr("Save"));
    m_fateSave = m_fateBar->actionButton();
    QPushButton *saveAsButton = m_fateBar->addButton(tr("Save As…"), QStringLiteral("fateSaveAs"));
    QPushButton *discardButton = m_fateBar->addButton(tr("Discard"), QStringLiteral("fateDiscard"));
    connect(m_fateBar, &NoticeBar::actionTriggered, this, [this] { save(); });
    connect(saveAsButton, &QPushButton::clicked, this, [this] { saveAs(); });
    connect(discardButton, &QPushButton::clicked, this, &SkillEditorView::discard);
    m_chooseSaveAsPath = [](QWidget *parent, const QString &suggested) {
        return QFileDialog::getSaveFileName(parent, tr("Save As"), suggested);
    };
    m_badge->setObjectName(QStringLiteral("modifiedBadge"));
    m_badge->hide();
    styleBadge();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_fateBar);
    layout->addWidget(m_notice);
    layout->addWidget(m_findBar);
    layout->addWidget(m_editor, 1);
    // A hairline between the text and the strip, shown with the strip.
    m_stripLine = new QFrame(this);
    m_stripLine->setObjectName(QStringLiteral("findingStripLine"));
    m_stripLine->setFrameShape(QFrame::HLine);
    m_stripLine->setFrameShadow(QFrame::Plain);
    m_stripLine->setForegroundRole(QPalette::Mid);
    m_stripLine->hide();
    layout->addWidget(m_stripLine);
    layout->addWidget(m_strip);

    m_editor->installEventFilter(this);
    connect(m_editor->document(), &QTextDocument::contentsChanged, this, &SkillEditorView::updateModified);
    connect(m_editor->document(), &QTextDocument::contentsChanged, this, &SkillEditorView::textEdited);
    m_checkTimer->setSingleShot(true);
    m_checkTimer->setInterval(checkPauseMs);
    connect(m_checkTimer, &QTimer::timeout, this, &SkillEditorView::checkNow);
    connect(m_checkWatcher, &QFutureWatcher<QList<Finding>>::finished, this, &SkillEditorView::checkFinished);
    connect(m_strip, &FindingStrip::lineActivated, this, &SkillEditorView::showLine);
    // From the text, Ctrl+Tab leads on to the strip (Tab itself is typed).
    setTabOrder(m_editor, m_strip);
    for (const bool backwards : {false, true}) {
        auto *step = new QAction(backwards ? tr("Previous Problem") : tr("Next Problem"), this);
        step->setObjectName(backwards ? QStringLiteral("previousProblem") : QStringLiteral("nextProblem"));
        step->setShortcut(backwards ? QKeySequence(Qt::SHIFT | Qt::Key_F8) : QKeySequence(Qt::Key_F8));
        step->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(step, &QAction::triggered, this, [this, backwards] { stepToProblem(backwards); });
        addAction(step);
    }
    connect(m_editor, &HighlightedTextEditor::findRequested, m_findBar, &FindBar::open);
    connect(m_editor, &HighlightedTextEditor::findNextRequested, m_findBar, [this](bool backwards) {
        if (m_findBar->isVisible())
            m_findBar->findNext(backwards);
        else
            m_findBar->open();
    });
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &SkillEditorView::fileChangedOnDisk);
    // The folder too: a file replaced by a folder, or put back, is seen there.
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &SkillEditorView::fileChangedOnDisk);
    load();
}

SkillEditorView::~SkillEditorView()
{
    // A check still running reads only its own copies; waiting keeps its end tidy.
    m_checkWatcher->waitForFinished();
}

QString SkillEditorView::text() const
{
    return m_editor->text();
}

void SkillEditorView::setSkill(Skill *skill)
{
    if (m_orphaned) {
        if (m_hasUnsavedChanges) {
            if (!skill)
                return; // the kept text stays until it is saved or discarded
            if (skill->filePath() == m_loadedPath) {
                adopt(skill); // found again where the text belongs
                return;
            }
        }
        m_orphaned = false;
    } else if (skill == m_skill && (!skill || skill->filePath() == m_loadedPath)) {
        return;
    }
    followSkill(skill);
    load();
}

QString SkillEditorView::documentName() const
{
    return m_skill ? m_skill->name() : m_name;
}

void SkillEditorView::followSkill(Skill *skill)
{
    if (m_skill)
        disconnect(m_skill, nullptr, this, nullptr);
    m_skill = skill;
    if (!m_skill)
        return;
    m_name = m_skill->name();
    // A rescan may move the record to another path; unsaved text then goes to the new one.
    connect(m_skill, &Skill::filePathChanged, this, [this] {
        if (m_hasUnsavedChanges)
            m_loadedPath = m_skill->filePath();
        else
            load();
    });
    connect(m_skill, &Skill::nameChanged, this, [this] { m_name = m_skill->name(); });
    connect(m_skill, &Skill::removing, this, &SkillEditorView::recordRemoving);
    connect(m_skill, &Skill::movedTo, this, &SkillEditorView::movedTo);
}

void SkillEditorView::recordRemoving()
{
    // Without unsaved text the column lets go of the record as of any other.
    if (!m_hasUnsavedChanges || !m_skill)
        return;
    followSkill(nullptr);
    m_orphaned = true;
    updateFate();
    Q_EMIT saveActionChanged();
    Q_EMIT documentChanged();
}

void SkillEditorView::movedTo(Skill *successor)
{
    if (!m_hasUnsavedChanges || !successor)
        return; // the selection follows the move and the editor reads the new file
    adopt(successor);
    if (m_fate == FileFate::Present)
        showFate(FileFate::Moved);
}

void SkillEditorView::adopt(Skill *skill)
{
    // The text stays as typed; what the file held when it was read (m_diskBytes)
    // still tells a save whether another program changed it meanwhile.
    followSkill(skill);
    m_orphaned = false;
    m_loadedPath = skill->filePath();
    watchFile();
    updateFate();
    Q_EMIT saveActionChanged();
    Q_EMIT documentChanged();
}

void SkillEditorView::updateFate()
{
    FileFate fate = FileFate::Present;
    if (QFileInfo(m_loadedPath).isDir()) {
        fate = FileFate::Folder;
    } else {
        switch (loadSkillFile(m_loadedPath).status) {
        case SkillFileContents::Status::Missing:
            fate = FileFate::Deleted;
            break;
        case SkillFileContents::Status::Unavailable:
            fate = FileFate::Unreadable;
            break;
        case SkillFileContents::Status::Ok:
            // A move stays told until the text is saved at the new place.
            fate = m_fate == FileFate::Moved ? FileFate::Moved : FileFate::Present;
            break;
        }
    }
    showFate(fate);
}

void SkillEditorView::showFate(FileFate fate)
{
    m_fate = fate;
    QString message;
    switch (fate) {
    case FileFate::Present:
        m_fateBar->hide();
        return;
    case FileFate::Deleted:
        message = tr("This skill’s file was deleted. Your unsaved changes are kept here.");
        break;
    case FileFate::Moved:
        message = tr("This skill’s file was moved to %1. Your unsaved changes are kept here.")
                      .arg(abbreviateHome(m_loadedPath));
        break;
    case FileFate::Folder:
        message = tr("This skill’s file was replaced by a folder. Your unsaved changes are kept here.");
        break;
    case FileFate::Unreadable:
        message = tr("This skill’s file can no longer be read. Your unsaved changes are kept here.");
        break;
    }
    // Nothing can be written where a folder stands; Save As still can.
    m_fateSave->setVisible(fate != FileFate::Folder);
    m_fateBar->showNotice(message);
}

void SkillEditorView::discard()
{
    if (m_orphaned && !m_skill)
        release();
    else
        load();
}

void SkillEditorView::release()
{
    m_orphaned = false;
    followSkill(nullptr);
    load();
    Q_EMIT documentChanged();
}

bool SkillEditorView::saveAs()
{
    if ((!m_skill && !m_orphaned) || !m_editable || !m_chooseSaveAsPath)
        return false;
    const QString path = m_chooseSaveAsPath(this, m_loadedPath);
    if (path.isEmpty())
        return false;
    if (!write(path, m_editor->text()))
        return false;
    // The editor now holds the new file, apart from the record (a scan that
    // finds a record there hands it back).
    followSkill(nullptr);
    m_orphaned = true;
    m_loadedPath = path;
    watchFile();
    showFate(FileFate::Present);
    Q_EMIT saveActionChanged();
    Q_EMIT documentChanged();
    return true;
}

void SkillEditorView::reload()
{
    load();
}

void SkillEditorView::load()
{
    const bool sameFile = m_skill && m_skill->filePath() == m_loadedPath;
    m_findBar->close();
    if (!m_orphaned)
        m_loadedPath = m_skill ? m_skill->filePath() : QString();
    m_confirmedOutside.clear();
    m_readOnlyReason.clear();
    m_diskBytes.reset();
    m_layout = TextLayout();

    QString text;
    m_editable = !m_loadedPath.isEmpty();
    // The body may have to be read from the store: only when the file cannot be.
    const auto stored = [this] { return m_skill ? m_skill->content() : QString(); };
    if (m_editable) {
        SkillFileContents file = loadSkillFile(m_loadedPath);
        switch (file.status) {
        case SkillFileContents::Status::Ok:
            text = std::move(file.text);
            m_diskBytes = std::move(file.bytes);
            m_layout = file.layout;
            break;
        case SkillFileContents::Status::Missing:
            // Saving writes the stored body back to the path, restoring the file.
            text = stored();
            break;
        case SkillFileContents::Status::Unavailable:
            // Saving would replace bytes we could not read: show what the store kept, read-only.
            text = stored();
            m_editable = false;
            m_readOnlyReason = file.reason;
            break;
        }
    }

    // Laying out a very long line takes seconds per keystroke: such a text is
    // shown read-only, with its long lines cut.
    QString notice;
    const qsizetype longest = longestLineLength(text);
    const bool cut = longest > maxEditableLineLength;
    if (cut)
        text = cutLongLines(text, maxEditableLineLength);
    if (!m_readOnlyReason.isEmpty()) {
        notice = tr("This file can’t be edited here: %1. Shown is the text Vesk stored when it last read the file.")
                     .arg(m_readOnlyReason);
    } else if (cut) {
        m_editable = false;
        m_readOnlyReason = tr("it has a line of %L1 characters").arg(longest);
        notice = tr("This file has a line of %L1 characters, too long to edit here. It is shown read-only, "
                    "with long lines cut at %L2 characters.")
                     .arg(longest)
                     .arg(maxEditableLineLength);
    }

    m_editor->setReadOnly(!m_editable);
    if (cut != !m_editor->isColouring()) {
        m_editor->clear(); // switched with no text in, so nothing is coloured twice
        m_editor->setColouring(!cut);
    }
    if (sameFile) {
        m_editor->setText(text);
    } else {
        m_editor->setPlainText(text);
        m_editor->verticalScrollBar()->setValue(0);
    }
    m_baseline = m_editor->text();
    m_notice->setText(notice);
    m_notice->setVisible(!notice.isEmpty());
    setModified(false);
    showFate(FileFate::Present);
    watchFile();
    // A file just opened is checked at once; typing waits for a pause.
    m_checkTimer->stop();
    checkNow();
    Q_EMIT saveActionChanged();
}

void SkillEditorView::updateModified()
{
    // Comparing lengths first keeps a keystroke in a long file cheap: only an
    // edit that leaves the length as it was needs the full comparison.
    const bool sameLength = m_editor->document()->characterCount() - 1 == m_baseline.size();
    setModified(!sameLength || m_editor->text() != m_baseline);
}

void SkillEditorView::setModified(bool modified)
{
    if (modified == m_hasUnsavedChanges)
        return;
    m_hasUnsavedChanges = modified;
    m_badge->setVisible(modified);
    if (modified) {
        m_badge->adjustSize();
        placeBadge();
        m_badge->raise();
    }
    Q_EMIT modifiedChanged(modified);
    Q_EMIT saveActionChanged();
}

std::optional<SaveAction> SkillEditorView::saveAction() const
{
    // Nothing to save is nothing offered: a greyed Save tells the user it is all written.
    if ((!m_skill && !m_orphaned) || !m_editable || !m_hasUnsavedChanges)
        return std::nullopt;
    auto *self = const_cast<SkillEditorView *>(this);
    return SaveAction{[self] { self->save(); }};
}

bool SkillEditorView::save()
{
    if ((!m_skill && !m_orphaned) || !m_editable)
        return !m_hasUnsavedChanges;

    if (compareWithDisk(m_loadedPath, m_diskBytes) == DiskComparison::Changed) {
        QMessageBox ask(QMessageBox::Warning, tr("Vesk"),
                        // Named as the list names it, with its folder: many files are "SKILL.md".
                        tr("“%1” in %2 was changed by another program.")
                            .arg(m_skill->name(), abbreviateHome(QFileInfo(m_loadedPath).absolutePath())),
                        QMessageBox::Cancel, this);
        ask.setTextFormat(Qt::PlainText); // the file's name is the user's, not markup
        ask.setInformativeText(tr("Overwrite it with your text, or reload it and lose your changes?"));
        QPushButton *overwrite = ask.addButton(tr("Overwrite"), QMessageBox::DestructiveRole);
        QPushButton *reloadButton = ask.addButton(tr("Reload"), QMessageBox::ResetRole);
        overwrite->setObjectName(QStringLiteral("overwrite"));
        reloadButton->setObjectName(QStringLiteral("reload"));
        ask.setDefaultButton(QMessageBox::Cancel);
        ask.exec();
        if (!m_skill && !m_orphaned)
            return true; // the record went away while the question was open
        if (ask.clickedButton() == reloadButton) {
            load();
            return true;
        }
        if (ask.clickedButton() != overwrite)
            return false;
    }
    if (!confirmWriteOutside())
        return false;
    return write(m_editor->text());
}

bool SkillEditorView::confirmWriteOutside()
{
    // A project is someone else's work: a link in it may lead to ~/.profile, and a
    // save would write there. A skill of the home folder may link anywhere in it.
    const QString home = QDir::homePath();
    const std::optional<QString> project =
        (m_skill && m_skill->isGlobal()) ? std::nullopt : SkillLocations::projectFolderOf(m_loadedPath, home);
    const std::optional<QString> target = linkTargetOutside(m_loadedPath, project.value_or(home));
    if (!target || *target == m_confirmedOutside)
        return true;
    QMessageBox ask(QMessageBox::Warning, tr("Vesk"),
                    project ? tr("“%1” is a link to a file outside its project.").arg(QFileInfo(m_loadedPath).fileName())
                            : tr("“%1” is a link to a file outside your home folder.")
                                  .arg(QFileInfo(m_loadedPath).fileName()),
                    QMessageBox::Cancel, this);
    ask.setObjectName(QStringLiteral("saveOutside"));
    ask.setInformativeText(tr("Saving changes “%1”. Save there anyway?").arg(QDir::toNativeSeparators(*target)));
    QPushButton *saveThere = ask.addButton(tr("Save There"), QMessageBox::AcceptRole);
    saveThere->setObjectName(QStringLiteral("saveThere"));
    ask.setDefaultButton(QMessageBox::Cancel);
    showAsPlainText(&ask);
    ask.exec();
    if ((!m_skill && !m_orphaned) || ask.clickedButton() != saveThere)
        return false;
    m_confirmedOutside = *target;
    return true;
}

bool SkillEditorView::write(const QString &text)
{
    return write(m_loadedPath, text);
}

bool SkillEditorView::write(const QString &path, const QString &text)
{
    // Untouched text goes back byte for byte, whatever the editor made of its line ends.
    const bool untouched = text == m_baseline && m_diskBytes;
    const QByteArray bytes = untouched ? *m_diskBytes : encodeSkillText(text, m_layout);
    QString error;
    // Saving a skill whose folder was deleted puts the folder back.
    const QString folder = QFileInfo(path).absolutePath();
    bool written = QFileInfo(folder).isDir() || QDir().mkpath(folder);
    if (!written)
        error = tr("The folder “%1” could not be made.").arg(folder);
    written = written && writeSkillFile(path, bytes, &error);
    if (!written) {
        QMessageBox alert(QMessageBox::Warning, tr("Save Error"), error, QMessageBox::Ok, this);
        alert.setTextFormat(Qt::PlainText);
        alert.setObjectName(QStringLiteral("saveError"));
        alert.exec();
        return false;
    }
    m_diskBytes = bytes;
    m_baseline = text;
    // The line ends just written are those the next save keeps.
    TextLayout writtenLayout;
    if (decodeSkillText(bytes, &writtenLayout))
        m_layout = std::move(writtenLayout);
    updateModified();
    if (path == m_loadedPath) {
        watchFile();
        refreshRecord(text, bytes);
    }
    if (!m_hasUnsavedChanges)
        showFate(FileFate::Present);
    return !m_hasUnsavedChanges;
}

void SkillEditorView::refreshRecord(const QString &text, const QByteArray &bytes)
{
    if (!m_skill)
        return;
    const ParsedSkill parsed = parseFrontmatter(text);
    if (!parsed.name.isEmpty())
        m_skill->setName(parsed.name);
    m_skill->setSkillDescription(parsed.description);
    m_skill->setContent(parsed.content);
    m_skill->setFrontmatter(parsed.frontmatter);
    // Size and date describe the file just written; the next scan would say the same.
    m_skill->setFileSize(bytes.size());
    const QDateTime modified = QFileInfo(m_loadedPath).lastModified();
    m_skill->setFileModifiedDate(modified.isValid() ? modified.toUTC() : QDateTime::currentDateTimeUtc());
    // Saved at once, so a new name survives a quit. A failed store save stays
    // pending for the next one; the file itself is already written.
    if (ModelContext *context = ModelContext::of(m_skill))
        context->save();
}

bool SkillEditorView::confirmLeave()
{
    if (!m_hasUnsavedChanges || (!m_skill && !m_orphaned))
        return true;
    QMessageBox ask(QMessageBox::Warning, tr("Vesk"), tr("Save changes to “%1”?").arg(documentName()),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    ask.setObjectName(QStringLiteral("saveChanges"));
    ask.setInformativeText(tr("Your changes will be lost if you don’t save them."));
    ask.setTextFormat(Qt::PlainText);
    ask.setDefaultButton(QMessageBox::Save);
    ask.setEscapeButton(QMessageBox::Cancel);
    switch (ask.exec()) {
    case QMessageBox::Save:
        return save();
    case QMessageBox::Discard:
        discard();
        return true;
    default:
        return false;
    }
}

void SkillEditorView::watchFile()
{
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    if (!m_watcher->directories().isEmpty())
        m_watcher->removePaths(m_watcher->directories());
    if (m_loadedPath.isEmpty())
        return;
    const QFileInfo file(m_loadedPath);
    if (file.exists() && !file.isDir())
        m_watcher->addPath(m_loadedPath);
    if (QFileInfo(file.absolutePath()).isDir())
        m_watcher->addPath(file.absolutePath());
}

void SkillEditorView::fileChangedOnDisk()
{
    // Another program's save often replaces the file, which ends the watch.
    watchFile();
    if (!m_skill && !m_orphaned)
        return;
    if (m_hasUnsavedChanges) {
        // Unsaved text wins; Save asks before overwriting. The bar tells what
        // became of the file meanwhile.
        updateFate();
        return;
    }
    if (m_skill && compareWithDisk(m_loadedPath, m_diskBytes) == DiskComparison::Changed)
        load();
}

bool SkillEditorView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_editor && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        placeBadge();
    return QWidget::eventFilter(watched, event);
}

void SkillEditorView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        styleBadge();
        QPalette colors = m_notice->palette();
        colors.setColor(QPalette::WindowText, PaletteColors::secondaryLabel(palette()));
        m_notice->setPalette(colors);
    }
}

void SkillEditorView::placeBadge()
{
    // 12 points in from the top and trailing edges of the text area (not over the scroll bar).
    const QRect textArea = m_editor->viewport()->geometry().translated(m_editor->geometry().topLeft());
    m_badge->move(textArea.right() + 1 - 12 - m_badge->width(), textArea.top() + 12);
}

void SkillEditorView::styleBadge()
{
    QFont caption = font();
    caption.setPointSizeF(caption.pointSizeF() * 0.85);
    m_badge->setFont(caption);
    const QColor text = PaletteColors::noticeBadgeText(palette());
    const QColor fill = PaletteColors::noticeBadgeFill(palette());
    const int height = QFontMetrics(caption).height() + 8;
    const auto css = [](const QColor &color) {
        return QStringLiteral("rgba(%1, %2, %3, %4)").arg(color.red()).arg(color.green()).arg(color.blue()).arg(color.alpha());
    };
    m_badge->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border-radius: %3px; padding: 4px 8px; }")
                               .arg(css(text), css(fill))
                               .arg(height / 2));
    m_badge->adjustSize();
    placeBadge();
}

void SkillEditorView::textEdited()
{
    // A keystroke only counts and restarts the pause: the check itself waits.
    ++m_textRevision;
    m_checkTimer->start();
}

bool SkillEditorView::isChecking() const
{
    // Until its result is taken in, not only while the worker runs.
    return m_checkRunning;
}

void SkillEditorView::checkNow()
{
    m_checkTimer->stop();
    // A read-only text (cut to be shown, or kept by the store) is not what a save writes.
    if (m_loadedPath.isEmpty() || !m_editable) {
        showFindings({});
        return;
    }
    if (isChecking()) {
        m_checkAgain = true; // once the running check is in
        return;
    }
    const QString text = m_editor->text();
    // Checked where a tool finds it (as the card checks it), so the folder's name is the one the tool sees.
    const QStringList installed = m_skill && m_skill->filePath() == m_loadedPath ? m_skill->installedPaths() : QStringList();
    const QString path = installed.isEmpty() ? m_loadedPath : installed.first();
    m_checkingRevision = m_textRevision;
    m_checkingFile = m_loadedPath;
    if (text.size() < m_backgroundCheckSize) {
        showFindings(checkSkillTextAs(text, path));
        return;
    }
    // Plain values go to the worker, which touches no record and no widget.
    m_checkRunning = true;
    m_checkWatcher->setFuture(QtConcurrent::run([text, path] { return checkSkillTextAs(text, path); }));
}

void SkillEditorView::checkFinished()
{
    m_checkRunning = false;
    const bool current = m_checkingRevision == m_textRevision && m_checkingFile == m_loadedPath && !m_checkAgain;
    const bool again = m_checkAgain;
    m_checkAgain = false;
    if (current)
        showFindings(m_checkWatcher->result());
    else if (again && !m_checkTimer->isActive())
        checkNow();
    // Otherwise the findings were for a text since changed: the pause running
    // now checks the new one.
}

void SkillEditorView::showFindings(const QList<Finding> &findings)
{
    m_findings = findings;
    m_strip->setFindings(findings);
    m_stripLine->setVisible(!findings.isEmpty());
    QList<LineMark> marks;
    for (const Finding &finding : findings) {
        if (finding.line > 0 && finding.level != FindingLevel::Note)
            marks.append({finding.line, finding.level == FindingLevel::Error, finding.message});
    }
    m_editor->setLineMarks(marks);
    Q_EMIT findingsChanged();
}

void SkillEditorView::showLine(int line)
{
    m_editor->goToLine(line);
    m_editor->setFocus(Qt::OtherFocusReason);
}

void SkillEditorView::stepToProblem(bool backwards)
{
    const int here = m_editor->textCursor().blockNumber() + 1;
    int target = -1; // index into m_findings
    for (qsizetype i = 0; i < m_findings.size(); ++i) {
        const int line = m_findings.at(i).line;
        if (line <= 0)
            continue;
        const bool beyond = backwards ? line < here : line > here;
        const bool closer = target < 0 || (backwards ? line > m_findings.at(target).line : line < m_findings.at(target).line);
        if (beyond && closer)
            target = int(i);
    }
    if (target < 0) {
        // Round to the first (or last) line with a finding.
        for (qsizetype i = 0; i < m_findings.size(); ++i) {
            const int line = m_findings.at(i).line;
            if (line > 0 && (target < 0 || (backwards ? line > m_findings.at(target).line : line < m_findings.at(target).line)))
                target = int(i);
        }
    }
    if (target < 0)
        return;
    m_strip->setCurrentIndex(m_strip->model()->index(target, 0));
    showLine(m_findings.at(target).line);
}
