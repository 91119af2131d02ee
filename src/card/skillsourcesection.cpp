#include "card/skillsourcesection.h"

#include "card/clampedlabel.h"
#include "card/symboltext.h"
#include "common/displayformat.h"
#include "common/palettecolors.h"
#include "common/plaintext.h"
#include "library/records/skill.h"
#include "library/sources/installrecord.h"
#include "library/sources/skillorigin.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetrics>
#include <QVBoxLayout>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SkillSourceSection", text);
}

// How many changed files are named before "and N more".
constexpr int shownFiles = 8;

// One line per changed file: a button that compares it with the installed copy,
// or its name and why there is nothing to compare. Null when there are none.
QWidget *editedFilesList(const QList<EditedFile> &files, const QPalette &palette, QWidget *parent,
                         const CompareWithInstalled &compare)
{
    if (files.isEmpty())
        return nullptr;
    auto *list = new QWidget(parent);
    list->setObjectName(QStringLiteral("editedFiles"));
    auto *layout = new QVBoxLayout(list);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    const QFont font = designFont(11);
    for (const EditedFile &file : files.mid(0, shownFiles)) {
        // A file's name is the skill's own text: drawn as plain text, shortened in the middle.
        const QString name = QFontMetrics(font).elidedText(file.relativePath, Qt::ElideMiddle, 360);
        SymbolText content;
        content.font = font;
        content.symbolScale = SymbolScale::small;
        content.spacing = 6;
        if (compare && !file.installed.isEmpty() && !file.current.isEmpty()) {
            content.symbolName = QStringLiteral("doc.on.doc");
            content.text = name;
            content.color = PaletteColors::lime(palette);
            auto *button = new SymbolButton(content, list);
            button->setObjectName(QStringLiteral("editedFileCompare"));
            button->setAccessibleName(tr("Compare with the installed copy"));
            button->setAccessibleDescription(file.relativePath.left(500));
            button->setToolTip(plainToolTip(tr("Compare %1 as installed with yours").arg(file.relativePath.left(500))));
            const QString installed = file.installed;
            const QString current = file.current;
            QObject::connect(button, &SymbolButton::clicked, list, [compare, installed, current] { compare(installed, current); });
            layout->addWidget(button);
            continue;
        }
        content.symbolName = QStringLiteral("doc.text");
        content.color = PaletteColors::tertiaryLabel(palette);
        switch (file.change) {
        case EditedFile::Change::Added:
            content.text = tr("%1 (added)").arg(name);
            break;
        case EditedFile::Change::Removed:
            content.text = tr("%1 (removed)").arg(name);
            break;
        case EditedFile::Change::Edited:
            content.text = tr("%1 (changed)").arg(name);
            break;
        }
        auto *label = new SymbolLabel(content, list);
        label->setObjectName(QStringLiteral("editedFileOnly"));
        layout->addWidget(label);
    }
    if (files.size() > shownFiles) {
        auto *more = new ClampedLabel(list);
        more->setObjectName(QStringLiteral("editedFilesMore"));
        more->setFont(font);
        more->setTextColor(PaletteColors::tertiaryLabel(palette));
        more->setText(tr("and %1 more").arg(files.size() - shownFiles));
        layout->addWidget(more);
    }
    return list;
}

} // namespace

QString sourceSummary(const SkillOrigin &origin, const QDateTime &now)
{
    QStringList parts;
    const QString source = origin.entry.source.isEmpty() ? origin.entry.sourceUrl : origin.entry.source;
    parts.append(tr("From %1").arg(source.isEmpty() ? tr("an unnamed source") : source.left(300)));
    const QDateTime installed = installedAt(origin);
    if (installed.isValid())
        parts.append(tr("installed %1").arg(DisplayFormat::relativeDate(installed, now)));
    if (!origin.entry.ref.isEmpty())
        parts.append(tr("ref %1").arg(origin.entry.ref.left(200)));
    return parts.join(QStringLiteral(", "));
}

QWidget *buildSourceSection(const Skill &skill, const QPalette &palette, QWidget *parent,
                            const CompareWithInstalled &compare)
{
    if (!skill.isDirectory())
        return nullptr;
    QStringList folders{QFileInfo(skill.filePath()).absolutePath(), QFileInfo(skill.resolvedPath()).absolutePath()};
    LockFileCache locks;
    const std::optional<SkillOrigin> origin = originOf(folders, locks);
    if (!origin)
        return nullptr;

    auto *section = new QWidget(parent);
    section->setObjectName(QStringLiteral("sourceSection"));
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(8);
    SymbolText header;
    header.symbolName = QStringLiteral("tray.and.arrow.down");
    header.text = tr("Source");
    header.font = designFont(13, QFont::DemiBold);
    header.color = PaletteColors::faded(PaletteColors::lime(palette), 0.6);
    header.symbolScale = SymbolScale::small;
    header.spacing = 6;
    layout->addWidget(new SymbolLabel(header, section));

    auto *summary = new ClampedLabel(section);
    summary->setObjectName(QStringLiteral("sourceSummary"));
    summary->setFont(designFont(12));
    summary->setTextColor(PaletteColors::secondaryLabel(palette));
    summary->setSelectable(true);
    summary->setText(sourceSummary(*origin, QDateTime::currentDateTime()));
    summary->setToolTip(plainToolTip(origin->lockPath));
    layout->addWidget(summary);

    if (editedSinceInstalled(*origin).value_or(false)) {
        SymbolText edited;
        edited.symbolName = QStringLiteral("pencil");
        edited.text = tr("Edited since installed");
        edited.font = designFont(11, QFont::Medium);
        edited.color = PaletteColors::tint(PaletteColors::Tint::Orange, palette);
        edited.symbolScale = SymbolScale::small;
        edited.spacing = 6;
        auto *label = new SymbolLabel(edited, section);
        label->setObjectName(QStringLiteral("editedSinceInstalled"));
        layout->addWidget(label);
        // The files that differ from the copy kept at install, when Vesk installed it.
        if (QWidget *files = editedFilesList(filesEditedSinceInstalled(origin->folder), palette, section, compare))
            layout->addWidget(files);
    }
    return section;
}
