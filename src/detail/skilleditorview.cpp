#include "detail/skilleditorview.h"

#include "common/palettecolors.h"
#include "detail/findbar.h"
#include "detail/highlightedtexteditor.h"
#include "library/records/frontmatter.h"
#include "library/store/modelcontext.h"
#include "library/records/skill.h"

#include <QDateTime>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

SkillEditorView::SkillEditorView(QWidget *parent)
    : QWidget(parent)
    , m_editor(new HighlightedTextEditor(this))
    , m_findBar(new FindBar(m_editor, this))
    , m_notice(new QLabel(this))
    , m_badge(new QLabel(tr("Modified"), this))
    , m_watcher(new QFileSystemWatcher(this))
{
    setObjectName(QStringLiteral("skillEditorView"));
    m_notice->setObjectName(QStringLiteral("readOnlyNotice"));
    m_notice->setTextFormat(Qt::PlainText);
    m_notice->setWordWrap(true);
    m_notice->setContentsMargins(16, 10, 16, 10);
    m_notice->hide();
    m_badge->setObjectName(QStringLiteral("modifiedBadge"));
    m_badge->hide();
    styleBadge();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_notice);
    layout->addWidget(m_findBar);
    layout->addWidget(m_editor, 1);

    m_editor->installEventFilter(this);
    connect(m_editor->document(), &QTextDocument::contentsChanged, this, &SkillEditorView::updateModified);
    connect(m_editor, &HighlightedTextEditor::findRequested, m_findBar, &FindBar::open);
    connect(m_editor, &HighlightedTextEditor::findNextRequested, m_findBar, [this](bool backwards) {
        if (m_findBar->isVisible())
            m_findBar->findNext(backwards);
        else
            m_findBar->open();
    });
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &SkillEditorView::fileChangedOnDisk);
    load();
}

QString SkillEditorView::text() const
{
    return m_editor->text();
}

void SkillEditorView::setSkill(Skill *skill)
{
    if (skill == m_skill && (!skill || skill->filePath() == m_loadedPath))
        return;
    if (m_skill)
        disconnect(m_skill, nullptr, this, nullptr);
    m_skill = skill;
    if (m_skill) {
        // A rescan may move the record to another path; unsaved text then goes to the new one.
        connect(m_skill, &Skill::filePathChanged, this, [this] {
            if (m_hasUnsavedChanges)
                m_loadedPath = m_skill->filePath();
            else
                load();
        });
    }
    load();
}

void SkillEditorView::reload()
{
    load();
}

void SkillEditorView::load()
{
    const bool sameFile = m_skill && m_skill->filePath() == m_loadedPath;
    m_findBar->close();
    m_loadedPath = m_skill ? m_skill->filePath() : QString();
    m_readOnlyReason.clear();
    m_diskBytes.reset();
    m_layout = TextLayout();

    QString text;
    m_editable = bool(m_skill);
    if (m_skill) {
        SkillFileContents file = loadSkillFile(m_loadedPath);
        switch (file.status) {
        case SkillFileContents::Status::Ok:
            text = std::move(file.text);
            m_diskBytes = std::move(file.bytes);
            m_layout = file.layout;
            break;
        case SkillFileContents::Status::Missing:
            // Saving writes the stored body back to the path, restoring the file.
            text = m_skill->content();
            break;
        case SkillFileContents::Status::Unavailable:
            // Saving would replace bytes we could not read: show what the store kept, read-only.
            text = m_skill->content();
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
    watchFile();
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
}

std::optional<SaveAction> SkillEditorView::saveAction() const
{
    if (!m_skill || !m_editable)
        return std::nullopt;
    auto *self = const_cast<SkillEditorView *>(this);
    return SaveAction{[self] { self->save(); }};
}

bool SkillEditorView::save()
{
    if (!m_skill || !m_editable)
        return !m_hasUnsavedChanges;

    if (compareWithDisk(m_loadedPath, m_diskBytes) == DiskComparison::Changed) {
        QMessageBox ask(QMessageBox::Warning, tr("Vesk"),
                        tr("“%1” was changed by another program.").arg(QFileInfo(m_loadedPath).fileName()),
                        QMessageBox::Cancel, this);
        ask.setTextFormat(Qt::PlainText); // the file's name is the user's, not markup
        ask.setInformativeText(tr("Overwrite it with your text, or reload it and lose your changes?"));
        QPushButton *overwrite = ask.addButton(tr("Overwrite"), QMessageBox::DestructiveRole);
        QPushButton *reloadButton = ask.addButton(tr("Reload"), QMessageBox::ResetRole);
        overwrite->setObjectName(QStringLiteral("overwrite"));
        reloadButton->setObjectName(QStringLiteral("reload"));
        ask.setDefaultButton(QMessageBox::Cancel);
        ask.exec();
        if (!m_skill)
            return true; // the record went away while the question was open
        if (ask.clickedButton() == reloadButton) {
            load();
            return true;
        }
        if (ask.clickedButton() != overwrite)
            return false;
    }
    return write(m_editor->text());
}

bool SkillEditorView::write(const QString &text)
{
    // Untouched text goes back byte for byte, whatever the editor made of its line ends.
    const bool untouched = text == m_baseline && m_diskBytes;
    const QByteArray bytes = untouched ? *m_diskBytes : encodeSkillText(text, m_layout);
    QString error;
    if (!writeSkillFile(m_loadedPath, bytes, &error)) {
        QMessageBox alert(QMessageBox::Warning, tr("Save Error"), error, QMessageBox::Ok, this);
        alert.setTextFormat(Qt::PlainText);
        alert.setObjectName(QStringLiteral("saveError"));
        alert.exec();
        return false;
    }
    m_diskBytes = bytes;
    m_baseline = text;
    updateModified();
    watchFile();
    refreshRecord(text, bytes);
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
    if (!m_hasUnsavedChanges || !m_skill)
        return true;
    QMessageBox ask(QMessageBox::Warning, tr("Vesk"), tr("Save changes to “%1”?").arg(m_skill->name()),
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
        load();
        return true;
    default:
        return false;
    }
}

void SkillEditorView::watchFile()
{
    if (!m_watcher->files().isEmpty())
        m_watcher->removePaths(m_watcher->files());
    if (!m_loadedPath.isEmpty() && QFileInfo::exists(m_loadedPath))
        m_watcher->addPath(m_loadedPath);
}

void SkillEditorView::fileChangedOnDisk()
{
    // Another program's save often replaces the file, which ends the watch.
    watchFile();
    if (!m_skill || m_hasUnsavedChanges)
        return; // unsaved text wins for now; Save asks before overwriting
    if (compareWithDisk(m_loadedPath, m_diskBytes) == DiskComparison::Changed)
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
