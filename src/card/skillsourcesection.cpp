#include "card/skillsourcesection.h"

#include "card/clampedlabel.h"
#include "card/symboltext.h"
#include "common/displayformat.h"
#include "common/palettecolors.h"
#include "common/plaintext.h"
#include "library/files/safemove.h"
#include "library/records/skill.h"
#include "library/sources/installrecord.h"
#include "library/sources/skillorigin.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QVBoxLayout>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("SkillSourceSection", text);
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

QWidget *buildSourceSection(const Skill &skill, const QPalette &palette, QWidget *parent)
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
        const QString pristine = pristineFolderFor(origin->folder);
        QStringList changed;
        if (QFileInfo(pristine).isDir() && !sameEntry(pristine, origin->folder, &changed) && !changed.isEmpty()) {
            auto *files = new ClampedLabel(section);
            files->setObjectName(QStringLiteral("editedFiles"));
            files->setFont(designFont(11));
            files->setTextColor(PaletteColors::tertiaryLabel(palette));
            files->setMaximumLineCount(3);
            files->setText(tr("Changed: %1").arg(changed.join(QStringLiteral(", "))));
            layout->addWidget(files);
        }
    }
    return section;
}
