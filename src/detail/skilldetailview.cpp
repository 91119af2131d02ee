#include "detail/skilldetailview.h"

#include "common/followedskill.h"
#include "card/skillcardview.h"
#include "card/skillmetadatabar.h"
#include "common/plaintext.h"
#include "common/appstate.h"
#include "common/columntitle.h"
#include "common/palettecolors.h"
#include "common/symbols.h"
#include "detail/highlightedtexteditor.h"
#include "detail/segmentedcontrol.h"
#include "detail/skilleditorview.h"
#include "library/store/modelcontext.h"
#include "library/records/skill.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int cardSegment = 0;
constexpr int editorSegment = 1;

QToolButton *headerButton(const QString &objectName, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setAutoRaise(true);
    button->setIconSize(QSize(16, 16));
    return button;
}

} // namespace

SkillDetailView::SkillDetailView(AppState &state, ModelContext &context, const ArtifactCache &artifacts,
                                 QWidget *parent)
    : QWidget(parent)
    , m_state(state)
    , m_content(new QStackedWidget(this))
    , m_card(new SkillCardView(state, artifacts, m_content))
    , m_metadataBar(new SkillMetadataBar(context, this))
    , m_editor(new SkillEditorView(m_content))
{
    setObjectName(QStringLiteral("skillDetailView"));
    m_content->setObjectName(QStringLiteral("detailContent"));
    m_content->addWidget(m_card);
    m_content->addWidget(m_editor);
    // The card scrolls with the arrow keys once it has the focus (Tab or Enter in the list).
    m_card->setFocusPolicy(Qt::StrongFocus);

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setForegroundRole(QPalette::Mid);
    auto *headerLine = new QFrame(this);
    headerLine->setFrameShape(QFrame::HLine);
    headerLine->setFrameShadow(QFrame::Plain);
    headerLine->setForegroundRole(QPalette::Mid);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(createHeader());
    layout->addWidget(headerLine);
    layout->addWidget(m_content, 1);
    layout->addWidget(divider);
    layout->addWidget(m_metadataBar);

    connect(&m_state, &AppState::detailViewModeChanged, this, &SkillDetailView::showMode);
    connect(m_card, &SkillCardView::revealRequested, this, &SkillDetailView::revealFileRequested);
    connect(m_card, &SkillCardView::editorOpened, this, &SkillDetailView::focusEditor);
    connect(m_card, &SkillCardView::showLineRequested, this, [this](int line) {
        if (m_skill)
            Q_EMIT showLineRequested(m_skill, line);
    });
    connect(m_card, &SkillCardView::otherSkillRequested, this, &SkillDetailView::otherSkillRequested);
    connect(m_card, &SkillCardView::compareRequested, this, &SkillDetailView::compareRequested);
    connect(m_card, &SkillCardView::installedCompareRequested, this, &SkillDetailView::installedCompareRequested);
    connect(m_editor, &SkillEditorView::saveActionChanged, this, &SkillDetailView::saveActionChanged);
    connect(m_editor, &SkillEditorView::modifiedChanged, this, &SkillDetailView::modifiedChanged);
    connect(m_editor, &SkillEditorView::documentChanged, this, [this] {
        updateTitle();
        Q_EMIT documentChanged();
    });
    connect(&context, &ModelContext::skillInserted, this, [this](Skill *skill) {
        if (m_editor->isOrphaned() && skill->filePath() == m_editor->filePath())
            Q_EMIT skillFoundAgain(skill);
    });
    showMode();
    updateTitle();
    updateFavorite();
}

QWidget *SkillDetailView::createHeader()
{
    auto *header = new QWidget(this);
    m_title = new ColumnTitle(QString(), header);
    m_title->setObjectName(QStringLiteral("detailTitle"));
    // The name is elided to the room there is, never widening the column.
    m_title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_title->installEventFilter(this);

    m_mode = new SegmentedControl({QStringLiteral("rectangle.portrait.fill"), QStringLiteral("pencil")}, 40, header);
    m_mode->setObjectName(QStringLiteral("viewMode"));
    m_mode->setToolTip(tr("Switch between card and editor view"));
    m_mode->setAccessibleName(tr("View"));
    m_favorite = headerButton(QStringLiteral("favorite"), header);
    m_reveal = headerButton(QStringLiteral("reveal"), header);
    m_reveal->setToolTip(tr("Show in File Manager"));
    m_reveal->setAccessibleName(tr("Show in File Manager"));
    updateIcons();

    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 12, 0);
    row->setSpacing(6);
    row->addWidget(m_title, 1);
    row->addWidget(m_mode);
    row->addWidget(m_favorite);
    row->addWidget(m_reveal);

    connect(m_mode, &SegmentedControl::segmentActivated, this, [this](int segment) {
        const DetailViewMode mode = segment == editorSegment ? DetailViewMode::Editor : DetailViewMode::Card;
        // Leaving the editor may be refused (unsaved text the user keeps); the
        // switch then stays where the state is.
        if (m_state.requestDetailViewMode(mode) && mode == DetailViewMode::Editor)
            focusEditor();
    });
    connect(m_favorite, &QToolButton::clicked, this, [this] {
        if (m_skill)
            Q_EMIT toggleFavoriteRequested(m_skill);
    });
    connect(m_reveal, &QToolButton::clicked, this, [this] {
        if (m_skill)
            Q_EMIT revealRequested(m_skill);
    });
    return header;
}

void SkillDetailView::setSkill(Skill *skill)
{
    if (!followSkill(m_skill, skill, this, {&Skill::nameChanged}, &SkillDetailView::updateTitle))
        return;
    if (m_skill)
        connect(m_skill, &Skill::isFavoriteChanged, this, &SkillDetailView::updateFavorite);
    m_card->setSkill(skill);
    m_metadataBar->setSkill(skill);
    m_editor->setSkill(isShowingEditor() ? skill : nullptr);
    updateTitle();
    updateFavorite();
}

bool SkillDetailView::hasDocument() const
{
    return m_skill || m_editor->isOrphaned();
}

bool SkillDetailView::isShowingEditor() const
{
    return m_state.detailViewMode() == DetailViewMode::Editor;
}

void SkillDetailView::focusEditor()
{
    if (isShowingEditor())
        m_editor->textEditor()->setFocus(Qt::OtherFocusReason);
}

void SkillDetailView::focusContent()
{
    if (isShowingEditor())
        focusEditor();
    else
        m_card->setFocus(Qt::OtherFocusReason);
}

void SkillDetailView::toggleMode()
{
    Q_EMIT m_mode->segmentActivated(isShowingEditor() ? cardSegment : editorSegment);
    if (!isShowingEditor())
        focusContent(); // the focus was in the editor, which is gone
}

bool SkillDetailView::confirmLeave()
{
    return m_editor->confirmLeave();
}

void SkillDetailView::showMode()
{
    const bool editor = isShowingEditor();
    m_mode->setCurrentIndex(editor ? editorSegment : cardSegment);
    // The editor holds a file only while it is shown; coming back reads it afresh.
    m_editor->setSkill(editor ? m_skill.data() : nullptr);
    m_content->setCurrentWidget(editor ? static_cast<QWidget *>(m_editor) : m_card);
}

void SkillDetailView::updateTitle()
{
    if (!m_title)
        return;
    m_titleText = m_skill ? m_skill->name() : m_editor->isOrphaned() ? m_editor->documentName() : QString();
    const QMargins margins = m_title->contentsMargins();
    const int room = m_title->width() - margins.left() - margins.right();
    m_title->setText(m_title->fontMetrics().elidedText(m_titleText, Qt::ElideRight, qMax(room, 0)));
    m_title->setToolTip(m_title->text() == m_titleText ? QString() : plainToolTip(m_titleText));
}

void SkillDetailView::updateFavorite()
{
    if (!m_favorite)
        return;
    const bool favorite = m_skill && m_skill->isFavorite();
    m_favorite->setToolTip(favorite ? tr("Remove from favorites") : tr("Add to favorites"));
    m_favorite->setAccessibleName(m_favorite->toolTip());
    const QPalette &colors = palette();
    m_favorite->setIcon(favorite ? Symbols::icon(QStringLiteral("star.fill"), PaletteColors::favoriteStar(colors))
                                 : Symbols::icon(QStringLiteral("star"), PaletteColors::secondaryLabel(colors)));
    m_favorite->setEnabled(m_skill);
    m_reveal->setEnabled(m_skill);
}

void SkillDetailView::updateIcons()
{
    if (!m_reveal)
        return;
    m_reveal->setIcon(Symbols::icon(QStringLiteral("folder.fill"), PaletteColors::secondaryLabel(palette())));
    updateFavorite();
}

bool SkillDetailView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_title && event->type() == QEvent::Resize)
        updateTitle();
    return QWidget::eventFilter(watched, event);
}

void SkillDetailView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        updateIcons();
}
