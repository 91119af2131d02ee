#include "card/skillcardview.h"

#include "common/followedskill.h"
#include "common/plaintext.h"
#include "card/artifactbadge.h"
#include "card/cardpresentation.h"
#include "card/clampedlabel.h"
#include "card/crossfade.h"
#include "card/divider.h"
#include "card/flowlayout.h"
#include "card/metadatatable.h"
#include "card/skillsourcesection.h"
#include "card/symboltext.h"
#include "common/appstate.h"
#include "common/displayformat.h"
#include "common/palettecolors.h"
#include "common/toolicon.h"
#include "library/checks/checkrun.h"
#include "library/checks/libraryhealth.h"
#include "library/records/artifactcache.h"
#include "library/store/modelcontext.h"
#include "library/catalogue/homepath.h"
#include "library/catalogue/skilllocations.h"
#include "library/catalogue/turnedoff.h"
#include "library/records/skill.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int sectionInset = 24;
constexpr int editFadeMs = 150;

SymbolText sectionHeader(const QString &title, const QString &symbol, const QPalette &palette)
{
    SymbolText header;
    header.symbolName = symbol;
    header.text = title;
    header.font = designFont(13, QFont::DemiBold);
    header.color = PaletteColors::faded(PaletteColors::lime(palette), 0.6);
    header.symbolScale = SymbolScale::small;
    header.spacing = 6;
    return header;
}

QWidget *paddedDivider(QWidget *parent)
{
    auto *holder = new QWidget(parent);
    auto *layout = new QHBoxLayout(holder);
    layout->setContentsMargins(sectionInset, 0, sectionInset, 0);
    layout->addWidget(new Divider(Qt::Horizontal, 0, holder));
    return holder;
}

QVBoxLayout *sectionLayout(QWidget *section, int spacing)
{
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(sectionInset, sectionInset, sectionInset, sectionInset);
    layout->setSpacing(spacing);
    return layout;
}

} // namespace

SkillCardView::SkillCardView(AppState &state, const ArtifactCache &artifacts, QWidget *parent)
    : QScrollArea(parent)
    , m_state(state)
    , m_artifacts(artifacts)
    , m_clock(new QTimer(this))
{
    setObjectName(QStringLiteral("skillCard"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setBackgroundRole(QPalette::Base);
    viewport()->setBackgroundRole(QPalette::Base);
    // "2 minutes ago" should not stay that way for an hour.
    m_clock->setInterval(30 * 1000);
    connect(m_clock, &QTimer::timeout, this, &SkillCardView::refreshRelativeDate);
    rebuild();
}

SkillCardView::~SkillCardView() = default;

void SkillCardView::setSkill(Skill *skill)
{
    const bool followed = followSkill(m_skill, skill, this,
                                      {&Skill::nameChanged, &Skill::skillDescriptionChanged, &Skill::contentChanged,
                                       &Skill::frontmatterDataChanged, &Skill::filePathChanged,
                                       &Skill::isDirectoryChanged, &Skill::fileModifiedDateChanged,
                                       &Skill::fileSizeChanged, &Skill::isGlobalChanged,
                                       &Skill::toolSourcesRawChanged, &Skill::installedPathsDataChanged},
                                      &SkillCardView::scheduleRebuild);
    if (!followed)
        return;
    rebuild();
    verticalScrollBar()->setValue(0);
}

void SkillCardView::changeEvent(QEvent *event)
{
    // Every colour of the card is worked out from the palette when it is built.
    if (event->type() == QEvent::PaletteChange && palette() != m_builtWith)
        scheduleRebuild();
    QScrollArea::changeEvent(event);
}

void SkillCardView::scheduleRebuild()
{
    // A rescan writes several fields of one record in a row: draw once after them.
    if (m_rebuildScheduled)
        return;
    m_rebuildScheduled = true;
    QTimer::singleShot(0, this, &SkillCardView::rebuild);
}

void SkillCardView::rebuild()
{
    m_rebuildScheduled = false;
    m_builtWith = palette();
    const int scrolled = verticalScrollBar()->value();
    m_dateLabel = nullptr;
    auto *card = new QWidget;
    card->setObjectName(QStringLiteral("cardContent"));
    card->setBackgroundRole(QPalette::Base);
    auto *layout = new QVBoxLayout(card);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    if (m_skill) {
        if (QWidget *problems = buildProblems(card)) {
            layout->addWidget(problems);
            layout->addWidget(paddedDivider(card));
        }
        layout->addWidget(buildHeader(card));
        layout->addWidget(paddedDivider(card));
        const auto compareWithInstalled = [this](const QString &installed, const QString &current) {
            Q_EMIT installedCompareRequested(installed, current);
        };
        if (QWidget *source = buildSourceSection(*m_skill, palette(), card, compareWithInstalled)) {
            layout->addWidget(source);
            layout->addWidget(paddedDivider(card));
        }
        const QStringList keys = CardPresentation::metadataKeys(m_skill->frontmatter());
        if (!keys.isEmpty()) {
            layout->addWidget(buildMetadata(keys, card));
            layout->addWidget(paddedDivider(card));
        }
        if (QWidget *resources = buildResources(card)) {
            layout->addWidget(resources);
            layout->addWidget(paddedDivider(card));
        }
        layout->addWidget(buildContent(card));
    }
    layout->addStretch(1);

    delete takeWidget();
    setWidget(card);
    verticalScrollBar()->setValue(scrolled);
    if (m_skill)
        m_clock->start();
    else
        m_clock->stop();
    Q_EMIT rebuilt();
}

void SkillCardView::setHealth(LibraryHealth *health)
{
    if (m_health)
        disconnect(m_health, nullptr, this, nullptr);
    m_health = health;
    if (health) {
        connect(health, &LibraryHealth::changed, this, [this] {
            if (m_skill && m_health && m_health->findings(*m_skill).value_or(m_shownFindings) != m_shownFindings)
                scheduleRebuild();
        });
    }
    scheduleRebuild();
}

QWidget *SkillCardView::buildProblems(QWidget *parent)
{
    // The library's health has every skill's findings, worked out off this thread;
    // a skill it has not reached yet is checked here (skill files are small).
    QList<Finding> findings;
    if (const std::optional<QList<Finding>> kept = m_health ? m_health->findings(*m_skill) : std::nullopt) {
        findings = *kept;
    } else {
        QList<Skill *> library;
        if (auto *context = dynamic_cast<ModelContext *>(m_skill->owner()))
            library = context->skills();
        findings = checkRecord(*m_skill, library);
        if (m_health) {
            const QSet<QString> disabled = m_health->disabledRules();
            findings.removeIf([&disabled](const Finding &finding) { return disabled.contains(finding.rule); });
        }
    }
    m_shownFindings = findings;
    findings.removeIf([](const Finding &finding) { return finding.level == FindingLevel::Note; });
    if (findings.isEmpty())
        return nullptr;
    // Errors first: they are why a tool does not load the skill.
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding &a, const Finding &b) { return a.level > b.level; });
    constexpr qsizetype shownAtMost = 20;

    auto *section = new QWidget(parent);
    section->setObjectName(QStringLiteral("problemsSection"));
    QVBoxLayout *layout = sectionLayout(section, 10);
    layout->addWidget(new SymbolLabel(
        sectionHeader(tr("Problems"), QStringLiteral("exclamationmark.triangle.fill"), palette()), section));
    for (const Finding &finding : findings.first(qMin(findings.size(), shownAtMost))) {
        auto *row = new QWidget(section);
        row->setObjectName(QStringLiteral("problemRow"));
        auto *rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        rowLayout->setSpacing(8);
        const bool error = finding.level == FindingLevel::Error;
        SymbolText where;
        where.symbolName = error ? QStringLiteral("xmark.circle.fill") : QStringLiteral("exclamationmark.triangle.fill");
        where.text = finding.line > 0 ? tr("Line %1").arg(finding.line) : tr("File");
        where.font = designFont(11, QFont::DemiBold);
        where.color = error ? QColor(0xd7, 0x3a, 0x32) : PaletteColors::tint(PaletteColors::Tint::Orange, palette());
        where.symbolScale = SymbolScale::small;
        where.spacing = 4;
        auto *place = new SymbolLabel(where, row);
        place->setObjectName(QStringLiteral("problemPlace"));
        place->setToolTip(error ? tr("Error: a tool will not load this skill, or loads it wrongly")
                                : tr("Warning: likely a mistake"));
        rowLayout->addWidget(place, 0, Qt::AlignTop);
        auto *message = new ClampedLabel(row);
        message->setObjectName(QStringLiteral("problemMessage"));
        message->setFont(designFont(12));
        message->setTextColor(PaletteColors::label(palette()));
        message->setMaximumLineCount(4);
        message->setSelectable(true);
        message->setText(finding.message);
        message->setToolTip(plainToolTip(finding.rule));
        // Under the message, what can be done about it.
        auto *column = new QVBoxLayout;
        column->setSpacing(4);
        column->addWidget(message);
        if (QWidget *actions = buildProblemActions(finding, row))
            column->addWidget(actions);
        rowLayout->addLayout(column, 1);
        layout->addWidget(row);
    }
    if (findings.size() > shownAtMost) {
        auto *more = new ClampedLabel(section);
        more->setTextColor(PaletteColors::secondaryLabel(palette()));
        more->setText(tr("%n more; run vesk check for all of them.", nullptr, int(findings.size() - shownAtMost)));
        layout->addWidget(more);
    }
    return section;
}

QWidget *SkillCardView::buildProblemActions(const Finding &finding, QWidget *parent)
{
    const bool clash = !finding.path.isEmpty();
    if (!clash && finding.line <= 0)
        return nullptr;
    auto *actions = new QWidget(parent);
    actions->setObjectName(QStringLiteral("problemActions"));
    auto *layout = new QHBoxLayout(actions);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    const auto button = [this, actions](const QString &symbol, const QString &text, const QString &name) {
        SymbolText content;
        content.symbolName = symbol;
        content.text = text;
        content.font = designFont(11, QFont::Medium);
        content.color = PaletteColors::lime(palette());
        content.symbolScale = SymbolScale::small;
        auto *made = new SymbolButton(content, actions);
        made->setObjectName(name);
        return made;
    };
    if (clash) {
        // The other file's path is the skill's own text: drawn as plain text, shortened in the middle.
        const QString shown = abbreviateHome(finding.path);
        const QFont font = designFont(11, QFont::Medium);
        const QString elided = QFontMetrics(font).elidedText(shown, Qt::ElideMiddle, 360);
        SymbolButton *other = button(QStringLiteral("link"), elided, QStringLiteral("otherSkillLink"));
        other->setToolTip(plainToolTip(tr("Show the skill at %1").arg(shown)));
        other->setAccessibleName(tr("Show the other skill"));
        other->setAccessibleDescription(shown);
        const QString otherPath = finding.path;
        connect(other, &SymbolButton::clicked, this, [this, otherPath] { Q_EMIT otherSkillRequested(otherPath); });
        layout->addWidget(other);
        SymbolButton *compare = button(QStringLiteral("doc.on.doc"), tr("Compare"), QStringLiteral("compareButton"));
        compare->setToolTip(tr("Show the two files side by side"));
        const QStringList installed = m_skill->installedPaths();
        const QString ownPath = installed.isEmpty() ? m_skill->filePath() : installed.first();
        connect(compare, &SymbolButton::clicked, this,
                [this, ownPath, otherPath] { Q_EMIT compareRequested(ownPath, otherPath); });
        layout->addWidget(compare);
    } else {
        SymbolButton *show = button(QStringLiteral("pencil"), tr("Show Line"), QStringLiteral("showLineButton"));
        show->setToolTip(tr("Open the editor at line %1").arg(finding.line));
        const int line = finding.line;
        connect(show, &SymbolButton::clicked, this, [this, line] { Q_EMIT showLineRequested(line); });
        layout->addWidget(show);
    }
    layout->addStretch(1);
    return actions;
}

QWidget *SkillCardView::buildHeader(QWidget *parent)
{
    auto *header = new QWidget(parent);
    header->setObjectName(QStringLiteral("cardHeader"));
    QVBoxLayout *layout = sectionLayout(header, 10);
    const QPalette palette = this->palette();
    const qreal dpr = devicePixelRatioF();

    // Badges wrap onto a second line rather than being cut when the pane is narrow.
    auto *badges = new QWidget(header);
    badges->setObjectName(QStringLiteral("badgeRow"));
    auto *badgeFlow = new FlowLayout(badges, 6);
    // A turned-off skill is read by no tool: its location badge says so instead.
    const bool turnedOff = isTurnedOffPath(m_skill->resolvedPath());
    for (ToolSource tool : turnedOff ? QList<ToolSource>() : m_skill->toolSources()) {
        const QColor tint = CardPresentation::harnessTint(tool, palette);
        SymbolText content;
        content.artwork = toolPixmap(tool, 12, dpr, tint);
        content.text = Tools::displayName(tool);
        content.font = designFont(11, QFont::Medium);
        content.color = tint;
        content.spacing = 4;
        auto *badge = new SymbolLabel(content, badges);
        badge->setObjectName(QStringLiteral("harnessBadge"));
        badge->setCapsule(PaletteColors::faded(tint, 0.12), QMargins(8, 4, 8, 4));
        badgeFlow->addWidget(badge);
    }
    if (const auto location = CardPresentation::locationBadge(*m_skill)) {
        const bool global = location->kind == CardPresentation::LocationBadge::Kind::Global;
        SymbolText content;
        content.text = location->text;
        content.font = designFont(10, QFont::Medium);
        content.color = global ? PaletteColors::secondaryLabel(palette) : PaletteColors::violet();
        auto *badge = new SymbolLabel(content, badges);
        badge->setObjectName(QStringLiteral("locationBadge"));
        badge->setCapsule(global ? PaletteColors::faded(PaletteColors::quaternaryLabel(palette), 0.3)
                                 : PaletteColors::faded(PaletteColors::violet(), 0.1),
                          QMargins(7, 3, 7, 3));
        badgeFlow->addWidget(badge);
    }
    layout->addWidget(badges);

    auto *name = new ClampedLabel(header);
    name->setObjectName(QStringLiteral("cardName"));
    name->setFont(designFont(24, QFont::Bold));
    name->setText(m_skill->name());
    name->setSelectable(true);
    layout->addWidget(name);

    // A description written as a YAML block ends with a line break; the card does not show it.
    const QString descriptionText = m_skill->skillDescription().trimmed();
    if (!descriptionText.isEmpty()) {
        auto *description = new ClampedLabel(header);
        description->setObjectName(QStringLiteral("cardDescription"));
        description->setFont(designFont(13));
        description->setTextColor(PaletteColors::secondaryLabel(palette));
        description->setMaximumLineCount(3);
        description->setText(descriptionText);
        layout->addWidget(description);
    }

    auto *info = new QWidget(header);
    info->setObjectName(QStringLiteral("infoRow"));
    auto *infoFlow = new FlowLayout(info, 16);
    const auto fact = [&](const QString &symbol, const QString &text, const QColor &color) {
        SymbolText content;
        content.symbolName = symbol;
        content.text = text;
        content.font = designFont(10);
        content.color = color;
        content.symbolScale = SymbolScale::small;
        auto *label = new SymbolLabel(content, info);
        infoFlow->addWidget(label);
        return label;
    };
    const QColor tertiary = PaletteColors::tertiaryLabel(palette);
    fact(QStringLiteral("doc.fill"), DisplayFormat::byteCount(m_skill->fileSize()), tertiary)
        ->setObjectName(QStringLiteral("sizeFact"));
    m_dateLabel = fact(QStringLiteral("clock.fill"), DisplayFormat::relativeDate(m_skill->fileModifiedDate()), tertiary);
    m_dateLabel->setObjectName(QStringLiteral("dateFact"));
    const qsizetype resources = m_artifacts.artifacts(m_skill->filePath()).size();
    if (resources > 0)
        fact(QStringLiteral("paperclip"), CardPresentation::resourceCountText(resources), PaletteColors::lime(palette))
            ->setObjectName(QStringLiteral("resourceFact"));
    layout->addWidget(info);

    // A copy in a folder its tool has stopped reading: say so, once per tool.
    QStringList notes;
    QHash<QString, QStringList> folders;
    const QString home = QDir::homePath();
    for (const LegacyNote &note : SkillLocations::legacyNotes(m_skill->installedPaths(), home)) {
        if (!notes.contains(note.text))
            notes.append(note.text);
        folders[note.text].append(abbreviateHome(QFileInfo(note.path).path(), home));
    }
    for (const QString &text : notes) {
        SymbolText content;
        content.symbolName = QStringLiteral("exclamationmark.triangle.fill");
        content.text = text;
        content.font = designFont(11, QFont::Medium);
        content.color = PaletteColors::tint(PaletteColors::Tint::Orange, palette);
        content.symbolScale = SymbolScale::small;
        content.spacing = 6;
        auto *label = new SymbolLabel(content, header);
        label->setObjectName(QStringLiteral("legacyNote"));
        label->setToolTip(plainToolTip(folders.value(text).join(u'\n')));
        layout->addWidget(label);
    }
    return header;
}

QWidget *SkillCardView::buildMetadata(const QStringList &keys, QWidget *parent)
{
    auto *section = new QWidget(parent);
    section->setObjectName(QStringLiteral("metadataSection"));
    QVBoxLayout *layout = sectionLayout(section, 12);
    layout->addWidget(
        new SymbolLabel(sectionHeader(tr("Metadata"), QStringLiteral("tag.fill"), palette()), section));
    layout->addWidget(new MetadataTable(keys, m_skill->frontmatter(), palette(), section));
    return section;
}

QWidget *SkillCardView::buildResources(QWidget *parent)
{
    const QList<CardPresentation::ArtifactGroup> groups =
        CardPresentation::artifactGroups(m_artifacts.artifacts(m_skill->filePath()));
    if (groups.isEmpty())
        return nullptr;
    auto *section = new QWidget(parent);
    section->setObjectName(QStringLiteral("resourcesSection"));
    QVBoxLayout *layout = sectionLayout(section, 16);
    layout->addWidget(
        new SymbolLabel(sectionHeader(tr("Resources"), QStringLiteral("paperclip"), palette()), section));
    for (const CardPresentation::ArtifactGroup &group : groups) {
        auto *box = new QWidget(section);
        box->setObjectName(QStringLiteral("artifactGroup"));
        auto *boxLayout = new QVBoxLayout(box);
        boxLayout->setContentsMargins(0, 0, 0, 0);
        boxLayout->setSpacing(8);
        SymbolText heading;
        heading.symbolName = ArtifactCategories::symbolName(group.category);
        heading.text = ArtifactCategories::title(group.category);
        heading.font = designFont(11, QFont::DemiBold);
        heading.color = CardPresentation::groupHeadingColor(group.category, palette());
        heading.symbolScale = SymbolScale::small;
        auto *headingLabel = new SymbolLabel(heading, box);
        headingLabel->setObjectName(QStringLiteral("artifactGroupHeading"));
        boxLayout->addWidget(headingLabel);

        auto *chips = new QWidget(box);
        auto *flow = new FlowLayout(chips, 6);
        for (const SkillArtifact &artifact : group.artifacts) {
            auto *chip = new ArtifactBadge(artifact, chips);
            connect(chip, &ArtifactBadge::revealRequested, this, &SkillCardView::revealRequested);
            flow->addWidget(chip);
        }
        boxLayout->addWidget(chips);
        layout->addWidget(box);
    }
    return section;
}

QWidget *SkillCardView::buildContent(QWidget *parent)
{
    auto *section = new QWidget(parent);
    section->setObjectName(QStringLiteral("contentSection"));
    QVBoxLayout *layout = sectionLayout(section, 12);
    auto *heading = new QHBoxLayout;
    heading->setSpacing(8);
    heading->addWidget(
        new SymbolLabel(sectionHeader(tr("Content"), QStringLiteral("doc.text.fill"), palette()), section));
    heading->addStretch(1);
    SymbolText edit;
    edit.symbolName = QStringLiteral("pencil");
    edit.text = tr("Edit");
    edit.font = designFont(11, QFont::Medium);
    edit.color = PaletteColors::lime(palette());
    edit.symbolScale = SymbolScale::small;
    auto *editButton = new SymbolButton(edit, section);
    editButton->setObjectName(QStringLiteral("editButton"));
    editButton->setToolTip(tr("Edit this skill"));
    connect(editButton, &SymbolButton::clicked, this, &SkillCardView::openEditor);
    heading->addWidget(editButton);
    layout->addLayout(heading);

    auto *preview = new ClampedLabel(section);
    preview->setObjectName(QStringLiteral("contentPreview"));
    preview->setFont(designMonospaceFont(13));
    preview->setTextColor(PaletteColors::secondaryLabel(palette()));
    preview->setMaximumLineCount(20);
    preview->setSelectable(true);
    preview->setText(CardPresentation::contentPreview(m_skill->content()));
    layout->addWidget(preview);
    return section;
}

void SkillCardView::refreshRelativeDate()
{
    if (!m_dateLabel || !m_skill)
        return;
    SymbolText content = m_dateLabel->content();
    content.text = DisplayFormat::relativeDate(m_skill->fileModifiedDate());
    if (content.text != m_dateLabel->text())
        m_dateLabel->setContent(content);
}

void SkillCardView::openEditor()
{
    // The card fades out over the editor that takes its place.
    crossFadeFrom(this, editFadeMs);
    if (m_state.requestDetailViewMode(DetailViewMode::Editor))
        Q_EMIT editorOpened();
}
