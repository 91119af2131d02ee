#include "card/cardpresentation.h"
#include "common/contrast.h"
#include "common/palettecolors.h"
#include "library/catalogue/turnedoff.h"
#include "library/catalogue/homepath.h"
#include "testhome.h"

#include <QApplication>
#include <QtTest/QtTest>

using Category = SkillArtifact::Category;

namespace {

SkillArtifact artifact(const QString &relativePath, Category category)
{
    SkillArtifact made;
    made.id = QUuid::createUuid();
    made.relativePath = relativePath;
    made.name = relativePath.section(u'/', -1);
    made.path = QStringLiteral("/skills/x/") + relativePath;
    made.category = category;
    const qsizetype dot = made.name.lastIndexOf(u'.');
    made.fileExtension = dot < 0 ? QString() : made.name.mid(dot + 1).toLower();
    return made;
}

std::unique_ptr<Skill> skillAt(const QString &path, bool isGlobal)
{
    return std::make_unique<Skill>(path, path, QStringLiteral("x"), QString(), QString(), Skill::Frontmatter{},
                                   ToolSource::Claude, false, isGlobal, QDateTime::currentDateTime(), 1);
}

QString lines(int from, int to, const QString &between = QStringLiteral("\n"))
{
    QStringList made;
    for (int i = from; i <= to; ++i)
        made.append(QStringLiteral("line %1").arg(i));
    return made.join(between);
}

} // namespace

class TestCardPresentation final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void metadataKeys_data()
    {
        QTest::addColumn<Skill::Frontmatter>("frontmatter");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("name and description are left out whatever their case")
            << Skill::Frontmatter{{"name", "a"}, {"Description", "b"}, {"NAME", "c"}} << QStringList{};
        QTest::newRow("keys sort by character code, capitals first")
            << Skill::Frontmatter{{"version", "1"}, {"Author", "ann"}, {"allowed-tools", "Read"}}
            << QStringList{"Author", "allowed-tools", "version"};
        QTest::newRow("a key without a value is not listed")
            << Skill::Frontmatter{{"license", ""}, {"model", "opus"}} << QStringList{"model"};
        QTest::newRow("a value of spaces is still a value")
            << Skill::Frontmatter{{"note", " "}} << QStringList{"note"};
    }

    void metadataKeys()
    {
        QFETCH(Skill::Frontmatter, frontmatter);
        QFETCH(QStringList, keys);
        QCOMPARE(CardPresentation::metadataKeys(frontmatter), keys);
    }

    void artifactsAreGroupedInCategoryOrder()
    {
        // As listed: sorted by category title (Config, Files, References, Rules, Scripts).
        const QList<SkillArtifact> listed{
            artifact("settings.toml", Category::Config), artifact("Makefile", Category::Other),
            artifact("notes.txt", Category::Other), artifact("references/api.md", Category::Reference),
            artifact("rules/style.md", Category::Rule), artifact("scripts/run.py", Category::Script),
            artifact("scripts/build.sh", Category::Script)};
        const QList<CardPresentation::ArtifactGroup> groups = CardPresentation::artifactGroups(listed);
        QList<Category> order;
        for (const auto &group : groups)
            order.append(group.category);
        QCOMPARE(order, (QList<Category>{Category::Script, Category::Reference, Category::Rule, Category::Config,
                                         Category::Other}));
        QCOMPARE(groups.at(0).artifacts.at(0).name, QStringLiteral("run.py"));
        QCOMPARE(groups.at(0).artifacts.at(1).name, QStringLiteral("build.sh"));
        QCOMPARE(groups.at(4).artifacts.size(), 2);
        QCOMPARE(groups.at(4).artifacts.at(0).name, QStringLiteral("Makefile"));

        QVERIFY(CardPresentation::artifactGroups({}).isEmpty());
        const auto onlyConfig = CardPresentation::artifactGroups({artifact("app.ini", Category::Config)});
        QCOMPARE(onlyConfig.size(), 1);
        QCOMPARE(onlyConfig.first().category, Category::Config);
    }

    void chipStyles_data()
    {
        const QPalette light = PaletteColors::lightPalette();
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QColor>("color");
        const QString code = QStringLiteral("chevron.left.forwardslash.chevron.right");
        for (const char *ext : {"py", "swift", "go", "rs", "rb"})
            QTest::addRow("%s is code in vivid orange", ext) << QString::fromLatin1(ext) << code
                                                            << PaletteColors::vividOrange();
        for (const char *ext : {"js", "cjs", "mjs", "ts"})
            QTest::addRow("%s is code in the desktop's orange", ext)
                << QString::fromLatin1(ext) << code << PaletteColors::tint(PaletteColors::Tint::Orange, light);
        for (const char *ext : {"sh", "bash", "zsh"})
            QTest::addRow("%s is a terminal in lime", ext)
                << QString::fromLatin1(ext) << "terminal.fill" << PaletteColors::lime(light);
        QTest::newRow("md is a text document in violet") << "md" << "doc.text.fill" << PaletteColors::violet();
        for (const char *ext : {"json", "yaml", "yml", "toml"})
            QTest::addRow("%s is a gear in cyan", ext)
                << QString::fromLatin1(ext) << "gearshape.fill" << PaletteColors::tint(PaletteColors::Tint::Cyan, light);
        QTest::newRow("ini is a config file but gets the plain chip")
            << "ini" << "doc.fill" << PaletteColors::secondaryLabel(light);
        QTest::newRow("no extension gets the plain chip") << "" << "doc.fill" << PaletteColors::secondaryLabel(light);
        QTest::newRow("extensions match exactly, not by prefix") << "pyc" << "doc.fill"
                                                                 << PaletteColors::secondaryLabel(light);
    }

    void chipStyles()
    {
        QFETCH(QString, extension);
        QFETCH(QString, symbol);
        QFETCH(QColor, color);
        const CardPresentation::ChipStyle style = CardPresentation::chipStyle(extension, PaletteColors::lightPalette());
        QCOMPARE(style.symbolName, symbol);
        QCOMPARE(style.color, color);
    }

    void chipAndHeadingColoursFollowTheTheme()
    {
        const QPalette light = PaletteColors::lightPalette();
        const QPalette dark = PaletteColors::darkPalette();
        QVERIFY(CardPresentation::chipStyle("json", light).color != CardPresentation::chipStyle("json", dark).color);
        QCOMPARE(CardPresentation::chipStyle("txt", dark).color, PaletteColors::secondaryLabel(dark));
        // The fixed accents are the same in both.
        QCOMPARE(CardPresentation::chipStyle("py", dark).color, CardPresentation::chipStyle("py", light).color);

        // Group headings: the category colour at 0.7, except the plain "Files".
        const QColor scripts = CardPresentation::groupHeadingColor(Category::Script, light);
        QCOMPARE(scripts.rgb(), PaletteColors::vividOrange().rgb());
        QCOMPARE(qRound(scripts.alphaF() * 100), 70);
        QCOMPARE(CardPresentation::groupHeadingColor(Category::Reference, light).rgb(), PaletteColors::violet().rgb());
        QCOMPARE(CardPresentation::groupHeadingColor(Category::Rule, light).rgb(), PaletteColors::lime(light).rgb());
        QCOMPARE(CardPresentation::groupHeadingColor(Category::Rule, dark).rgb(), PaletteColors::lime().rgb());
        QCOMPARE(CardPresentation::groupHeadingColor(Category::Config, light).rgb(),
                 PaletteColors::tint(PaletteColors::Tint::Orange, light).rgb());
        QCOMPARE(CardPresentation::groupHeadingColor(Category::Other, light), PaletteColors::secondaryLabel(light));
    }

    void limeTextCanBeReadOnEitherBackground_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::addColumn<qreal>("opacity");
        QTest::addColumn<qreal>("minimumContrast");
        // Ordinary text needs 4.5:1; the faded metadata keys and headings are
        // held to the 3:1 that large or bold text needs.
        QTest::newRow("full lime on white") << PaletteColors::lightPalette() << 1.0 << 4.5;
        QTest::newRow("metadata keys on white") << PaletteColors::lightPalette() << 0.7 << 3.0;
        QTest::newRow("full lime on the dark background") << PaletteColors::darkPalette() << 1.0 << 4.5;
        QTest::newRow("metadata keys on the dark background") << PaletteColors::darkPalette() << 0.7 << 3.0;
    }

    void limeTextCanBeReadOnEitherBackground()
    {
        QFETCH(QPalette, palette);
        QFETCH(qreal, opacity);
        QFETCH(qreal, minimumContrast);
        QColor text = PaletteColors::lime(palette);
        text.setAlphaF(float(opacity));
        const qreal contrast = Contrast::ratio(text, palette.color(QPalette::Base));
        QVERIFY2(contrast >= minimumContrast, qPrintable(QString::number(contrast)));
    }

    void everyHarnessHasItsOwnTint()
    {
        const QPalette light = PaletteColors::lightPalette();
        QSet<QRgb> tints;
        for (ToolSource tool : Tools::allCases())
            tints.insert(CardPresentation::harnessTint(tool, light).rgb());
        QCOMPARE(tints.size(), Tools::allCases().size());
        QCOMPARE(CardPresentation::harnessTint(ToolSource::Claude, light),
                 PaletteColors::tint(PaletteColors::Tint::Orange, light));
        QCOMPARE(CardPresentation::harnessTint(ToolSource::Custom, light),
                 PaletteColors::tint(PaletteColors::Tint::Gray, light));
    }

    void contentPreview_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("preview");
        QTest::newRow("an empty body says so") << "" << "(No content)";
        QTest::newRow("a body of blank lines says so too") << " \n\t\n\n" << "(No content)";
        QTest::newRow("blank lines go, the others keep their indentation")
            << "# Title\n\n  - item\n \t \n\tcode" << "# Title\n  - item\n\tcode";
        QTest::newRow("thirty lines with blank lines between keep the first twenty")
            << lines(1, 30, "\n\n") << lines(1, 20);
        QTest::newRow("CRLF line ends are line ends") << "one\r\n\r\ntwo\r\n" << "one\ntwo";
        QTest::newRow("a body of megabytes previews its first twenty lines, however long the rest")
            << lines(1, 25) + QString(5 * 1024 * 1024, u'x') << lines(1, 20);
    }

    void contentPreview()
    {
        QFETCH(QString, content);
        QFETCH(QString, preview);
        QCOMPARE(CardPresentation::contentPreview(content), preview);
    }

    void resourceCountText_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("text");
        QTest::newRow("one is singular") << 1 << "1 resource";
        QTest::newRow("two are plural") << 2 << "2 resources";
    }

    void resourceCountText()
    {
        QFETCH(int, count);
        QFETCH(QString, text);
        QCOMPARE(CardPresentation::resourceCountText(count), text);
    }

    void locationBadge_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("isGlobal");
        QTest::addColumn<QString>("badge");
        QTest::newRow("a global skill reads Global though its path has a dot folder")
            << "/home/ann/.claude/skills/x/SKILL.md" << true << "Global";
        QTest::newRow("a project skill shows the folder before the first dot folder")
            << "/home/ann/code/atlas/.cursor/rules/api.mdc" << false << "atlas";
        QTest::newRow("a non-global skill without a dot folder shows nothing")
            << "/srv/skills/x/SKILL.md" << false << "";
        QTest::newRow("a turned-off skill says that no tool reads it")
            << turnedOffFolder() + "/held/x/SKILL.md" << true << "Turned Off: no tool reads it";
    }

    void locationBadge()
    {
        QFETCH(QString, path);
        QFETCH(bool, isGlobal);
        QFETCH(QString, badge);
        const auto skill = skillAt(path, isGlobal);
        const auto shown = CardPresentation::locationBadge(*skill);
        QCOMPARE(shown ? shown->text : QString(), badge);
        if (shown)
            QCOMPARE(shown->kind, isGlobal ? CardPresentation::LocationBadge::Kind::Global
                                           : CardPresentation::LocationBadge::Kind::Project);
    }

    void pathsShortenOnlyALeadingHome_data()
    {
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a path inside home starts with ~")
            << "/Users/ann" << "/Users/ann/.claude/skills/x/SKILL.md" << "~/.claude/skills/x/SKILL.md";
        QTest::newRow("a longer name that starts like home is left alone")
            << "/home/al" << "/home/alice/x" << "/home/alice/x";
        QTest::newRow("home in the middle of a path is left alone")
            << "/home/al" << "/mnt/backup/home/al/x" << "/mnt/backup/home/al/x";
        QTest::newRow("home itself is ~") << "/home/al" << "/home/al" << "~";
        QTest::newRow("a trailing slash on home changes nothing")
            << "/home/al/" << "/home/al/notes.md" << "~/notes.md";
        QTest::newRow("a root home shortens nothing") << "/" << "/etc/x" << "/etc/x";
    }

    void pathsShortenOnlyALeadingHome()
    {
        QFETCH(QString, home);
        QFETCH(QString, path);
        QFETCH(QString, shown);
        QCOMPARE(abbreviateHome(path, home), shown);
    }

    void installedPathsAreListedOnePerLine()
    {
        const QString text = CardPresentation::installedPathsText(
            {"/home/al/.claude/skills/x/SKILL.md", "/home/alice/.cursor/skills/x/SKILL.md"}, "/home/al");
        QCOMPARE(text, QStringLiteral("~/.claude/skills/x/SKILL.md\n/home/alice/.cursor/skills/x/SKILL.md"));
        QCOMPARE(CardPresentation::installedPathsText({}, "/home/al"), QString());
    }
};

VESK_TEST_MAIN(TestCardPresentation)
#include "tst_cardpresentation.moc"
