#include "detail/findbar.h"

#include "common/palettecolors.h"
#include "common/symbols.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

QList<int> findMatches(QStringView text, QStringView query)
{
    QList<int> found;
    if (query.isEmpty())
        return found;
    for (qsizetype at = text.indexOf(query, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(query, at + query.size(), Qt::CaseInsensitive))
        found.append(int(at));
    return found;
}

FindBar::FindBar(QPlainTextEdit *editor, QWidget *parent)
    : QWidget(parent)
    , m_editor(editor)
    , m_field(new QLineEdit(this))
    , m_replaceField(new QLineEdit(this))
    , m_replace(new QToolButton(this))
    , m_replaceAll(new QToolButton(this))
    , m_status(new QLabel(this))
    , m_previous(new QToolButton(this))
    , m_next(new QToolButton(this))
    , m_done(new QToolButton(this))
    , m_researchTimer(new QTimer(this))
{
    setObjectName(QStringLiteral("findBar"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    m_field->setObjectName(QStringLiteral("findField"));
    m_field->setPlaceholderText(tr("Find"));
    m_field->setClearButtonEnabled(true);
    m_field->installEventFilter(this);
    m_status->setObjectName(QStringLiteral("findStatus"));
    m_status->setTextFormat(Qt::PlainText);
    m_previous->setToolTip(tr("Previous match (Shift+Enter)"));
    m_next->setToolTip(tr("Next match (Enter)"));
    m_done->setToolTip(tr("Close (Esc)"));
    for (QToolButton *button : {m_previous, m_next, m_done}) {
        button->setAutoRaise(true);
        button->setIconSize(QSize(14, 14));
        button->setFocusPolicy(Qt::NoFocus);
    }
    updateIcons();

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 8, 6);
    layout->setSpacing(4);
    layout->addWidget(m_field, 1);
    layout->addWidget(m_status);
    layout->addWidget(m_previous);
    layout->addWidget(m_next);
    layout->addWidget(m_replaceField, 1);
    layout->addWidget(m_replace);
    layout->addWidget(m_replaceAll);
    layout->addWidget(m_done);

    m_replaceField->setObjectName(QStringLiteral("replaceField"));
    m_replaceField->setPlaceholderText(tr("Replace with"));
    m_replaceField->setAccessibleName(tr("Replace with"));
    m_replace->setText(tr("Replace"));
    m_replaceAll->setText(tr("All"));
    m_replaceAll->setToolTip(tr("Replace every match"));
    m_replaceAll->setAccessibleName(tr("Replace All"));
    for (QWidget *part : std::initializer_list<QWidget *>{m_replaceField, m_replace, m_replaceAll})
        part->hide();
    connect(m_replaceField, &QLineEdit::returnPressed, this, &FindBar::replaceCurrent);
    connect(m_replace, &QToolButton::clicked, this, &FindBar::replaceCurrent);
    connect(m_replaceAll, &QToolButton::clicked, this, &FindBar::replaceAll);

    // Edits to the text move the matches; search again once the edit is done.
    m_researchTimer->setSingleShot(true);
    m_researchTimer->setInterval(0);
    connect(m_researchTimer, &QTimer::timeout, this, [this] {
        m_searchFrom = m_editor->textCursor().selectionStart();
        search();
    });
    connect(m_editor->document(), &QTextDocument::contentsChanged, this, [this] {
        if (isVisible() && !m_field->text().isEmpty())
            m_researchTimer->start();
    });
    connect(m_editor->verticalScrollBar(), &QScrollBar::valueChanged, this, &FindBar::markVisibleMatches);
    connect(m_field, &QLineEdit::textChanged, this, &FindBar::search);
    connect(m_field, &QLineEdit::returnPressed, this, [this] { findNext(false); });
    connect(m_previous, &QToolButton::clicked, this, [this] { findNext(true); });
    connect(m_next, &QToolButton::clicked, this, [this] { findNext(false); });
    connect(m_done, &QToolButton::clicked, this, &FindBar::close);
    hide();
}

QString FindBar::query() const
{
    return m_field->text();
}

void FindBar::setQuery(const QString &query)
{
    m_field->setText(query);
}

void FindBar::open()
{
    const QTextCursor cursor = m_editor->textCursor();
    m_searchFrom = cursor.selectionStart();
    const QString selected = cursor.selectedText();
    const bool wasVisible = isVisible();
    show();
    if (!selected.isEmpty() && !selected.contains(QChar::ParagraphSeparator))
        m_field->setText(selected);
    else if (!wasVisible)
        search(); // the previous query, if any, over the current text
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

void FindBar::openReplace()
{
    for (QWidget *part : std::initializer_list<QWidget *>{m_replaceField, m_replace, m_replaceAll})
        part->setVisible(!m_editor->isReadOnly());
    open();
}

bool FindBar::isReplacing() const
{
    return isVisible() && m_replaceField->isVisibleTo(this);
}

void FindBar::setReplacement(const QString &text)
{
    m_replaceField->setText(text);
}

bool FindBar::replaceCurrent()
{
    if (m_editor->isReadOnly() || m_current < 0 || m_current >= m_matches.size())
        return false;
    const int at = m_matches.at(m_current);
    QTextCursor cursor(m_editor->document());
    cursor.setPosition(at);
    cursor.setPosition(at + int(m_field->text().size()), QTextCursor::KeepAnchor);
    cursor.insertText(m_replaceField->text());
    // On from just after the replacement, so a replacement holding the query is
    // not found again.
    m_searchFrom = at + int(m_replaceField->text().size());
    m_researchTimer->stop();
    search();
    return true;
}

int FindBar::replaceAll()
{
    if (m_editor->isReadOnly() || m_matches.isEmpty())
        return 0;
    const QList<int> matches = m_matches;
    const int length = int(m_field->text().size());
    QTextCursor cursor(m_editor->document());
    cursor.beginEditBlock();
    // From the last match back, so the earlier positions still hold.
    for (auto at = matches.crbegin(); at != matches.crend(); ++at) {
        cursor.setPosition(*at);
        cursor.setPosition(*at + length, QTextCursor::KeepAnchor);
        cursor.insertText(m_replaceField->text());
    }
    cursor.endEditBlock();
    m_researchTimer->stop();
    search();
    m_status->setText(matches.size() == 1 ? tr("1 replaced") : tr("%L1 replaced").arg(matches.size()));
    return int(matches.size());
}

void FindBar::close()
{
    if (!isVisible())
        return;
    hide();
    for (QWidget *part : std::initializer_list<QWidget *>{m_replaceField, m_replace, m_replaceAll})
        part->hide();
    m_editor->setExtraSelections({});
    m_editor->setFocus(Qt::OtherFocusReason);
}

void FindBar::search()
{
    m_matches = findMatches(m_editor->document()->toRawText(), m_field->text());
    const auto after = std::lower_bound(m_matches.cbegin(), m_matches.cend(), m_searchFrom);
    m_current = m_matches.isEmpty() ? -1 : int(after == m_matches.cend() ? 0 : after - m_matches.cbegin());
    selectCurrent();
}

void FindBar::findNext(bool backwards)
{
    if (m_matches.isEmpty())
        return;
    const int count = int(m_matches.size());
    m_current = (m_current + (backwards ? count - 1 : 1)) % count;
    m_searchFrom = m_matches.at(m_current);
    selectCurrent();
}

void FindBar::selectCurrent()
{
    if (m_current >= 0) {
        QTextCursor cursor(m_editor->document());
        cursor.setPosition(m_matches.at(m_current));
        cursor.setPosition(m_matches.at(m_current) + int(m_field->text().size()), QTextCursor::KeepAnchor);
        m_editor->setTextCursor(cursor);
        m_editor->ensureCursorVisible();
    }
    markVisibleMatches();
    updateStatus();
}

// Marks only the matches on screen: a common letter in a long file has more
// matches than are worth handing to the editor on every keystroke.
void FindBar::markVisibleMatches()
{
    if (!isVisible() || m_matches.isEmpty()) {
        m_editor->setExtraSelections({});
        return;
    }
    const QRect viewport = m_editor->viewport()->rect();
    const int first = m_editor->cursorForPosition(viewport.topLeft()).block().position();
    const QTextBlock last = m_editor->cursorForPosition(viewport.bottomRight()).block();
    const int end = last.position() + last.length();
    const int length = int(m_field->text().size());

    QColor other = PaletteColors::favoriteYellow(palette());
    other.setAlphaF(0.3);
    QColor current = other;
    current.setAlphaF(0.75);
    QList<QTextEdit::ExtraSelection> marks;
    for (auto it = std::lower_bound(m_matches.cbegin(), m_matches.cend(), first - length);
         it != m_matches.cend() && *it < end; ++it) {
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(m_editor->document());
        mark.cursor.setPosition(*it);
        mark.cursor.setPosition(*it + length, QTextCursor::KeepAnchor);
        const bool isCurrent = it - m_matches.cbegin() == m_current;
        mark.format.setBackground(isCurrent ? current : other);
        marks.append(mark);
    }
    m_editor->setExtraSelections(marks);
}

QString FindBar::statusText() const
{
    if (m_field->text().isEmpty())
        return {};
    if (m_matches.isEmpty())
        return tr("No matches");
    return tr("%1 of %2").arg(m_current + 1).arg(m_matches.size());
}

void FindBar::updateStatus()
{
    m_status->setText(statusText());
    QPalette colors = m_status->palette();
    colors.setColor(QPalette::WindowText, PaletteColors::secondaryLabel(palette()));
    m_status->setPalette(colors);
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    const bool isKey = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
    if (watched != m_field || !isKey)
        return QWidget::eventFilter(watched, event);

    auto *key = static_cast<QKeyEvent *>(event);
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const bool backwards = key->matches(QKeySequence::FindPrevious) || (enter && key->modifiers() & Qt::ShiftModifier);
    const bool forwards = key->matches(QKeySequence::FindNext);
    const bool escape = key->key() == Qt::Key_Escape;
    const bool find = key->matches(QKeySequence::Find);
    if (event->type() == QEvent::ShortcutOverride) {
        // Keep these keys from the window's shortcuts while typing here.
        if (backwards || forwards || escape || find)
            event->accept();
        return false;
    }
    if (escape) {
        close();
        return true;
    }
    if (find) {
        m_field->selectAll();
        return true;
    }
    if (backwards || forwards) {
        findNext(backwards);
        return true;
    }
    return false; // plain Enter reaches the field, whose returnPressed steps forward
}

void FindBar::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        updateIcons();
        updateStatus();
        markVisibleMatches();
    }
}

void FindBar::updateIcons()
{
    const QColor tint = PaletteColors::secondaryLabel(palette());
    m_previous->setIcon(Symbols::icon(QStringLiteral("chevron.up"), tint));
    m_next->setIcon(Symbols::icon(QStringLiteral("chevron.down"), tint));
    m_done->setIcon(Symbols::icon(QStringLiteral("xmark"), tint));
}
