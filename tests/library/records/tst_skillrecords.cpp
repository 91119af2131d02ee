#include "library/records/compactjson.h"
#include "library/search/naturalorder.h"
#include "library/catalogue/turnedoff.h"
#include "library/records/skill.h"
#include "testhome.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest/QtTest>

#include <algorithm>

namespace {

std::unique_ptr<Skill> makeSkill(const QString &filePath = QStringLiteral("/h/.claude/skills/a/SKILL.md"),
                                 bool isGlobal = true)
{
    return std::make_unique<Skill>(filePath, QString(), QStringLiteral("a"), QStringLiteral("desc"),
                                   QStringLiteral("body"), Skill::Frontmatter{{"name", "a"}},
                                   ToolSource::Claude, true, isGlobal,
                                   QDateTime::fromSecsSinceEpoch(1000, Qt::UTC), 42);
}

} // namespace

class TestSkillRecords final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void namesSortNaturally_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::newRow("numbers by value: skill-2 before skill-10") << "skill-2" << "skill-10";
        QTest::newRow("numbers by value inside a name: v9-notes before v10-notes") << "v9-notes" << "v10-notes";
        QTest::newRow("case does not decide: acquire-… before WordPress …")
            << "acquire-codebase-knowledge" << "WordPress Development";
        QTest::newRow("case does not decide: alpha before Beta") << "alpha" << "Beta";
        QTest::newRow("a shorter name before its longer form") << "review" << "review-pr";
        QTest::newRow("names equal but for case still have one order") << "Skill" << "skill";
    }

    void namesSortNaturally()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QVERIFY(compareNaturally(first, second) < 0);
        QVERIFY(compareNaturally(second, first) > 0);
        QCOMPARE(compareNaturally(first, first), 0);
        // Keys made once for sorting many names give the same order.
        const NaturalKey a = naturalKey(first);
        const NaturalKey b = naturalKey(second);
        QVERIFY(compareNaturally(a, b) < 0);
        QVERIFY(compareNaturally(b, a) > 0);
        QCOMPARE(compareNaturally(a, naturalKey(first)), 0);
    }

    void initializerPacksTheFields()
    {
        const auto skill = makeSkill();
        QCOMPARE(skill->resolvedPath(), skill->filePath()); // empty resolution falls back
        QCOMPARE(skill->toolSourcesRaw(), QStringLiteral("claude"));
        QCOMPARE(skill->installedPathsData(), std::optional<QByteArray>(R"(["/h/.claude/skills/a/SKILL.md"])"));
        QCOMPARE(skill->frontmatterData(), std::optional<QByteArray>(R"({"name":"a"})"));
        QVERIFY(!skill->isFavorite());
        QVERIFY(!skill->lastOpened().isValid());
        QVERIFY(skill->collections().isEmpty());
    }

    void toolSourcesRead_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QList<ToolSource>>("expected");
        QTest::newRow("empty pieces and unknown names are skipped, order kept")
            << "cursor,,claude,vim" << QList<ToolSource>{ToolSource::Cursor, ToolSource::Claude};
        QTest::newRow("an empty text is no harness") << "" << QList<ToolSource>{};
        QTest::newRow("raw values are case-sensitive") << "Claude,amp" << QList<ToolSource>{ToolSource::Amp};
    }
    void toolSourcesRead()
    {
        QFETCH(QString, raw);
        QFETCH(QList<ToolSource>, expected);
        const auto skill = makeSkill();
        skill->setToolSourcesRaw(raw);
        QCOMPARE(skill->toolSources(), expected);
    }

    void installedPathsFallBackToFilePath_data()
    {
        QTest::addColumn<std::optional<QByteArray>>("data");
        QTest::newRow("no data at all") << std::optional<QByteArray>();
        QTest::newRow("bytes that are not JSON") << std::optional<QByteArray>("not json");
        QTest::newRow("a JSON array holding a number") << std::optional<QByteArray>(R"(["/a", 3])");
        QTest::newRow("a JSON object instead of an array") << std::optional<QByteArray>(R"({"a":"b"})");
    }
    void installedPathsFallBackToFilePath()
    {
        QFETCH(std::optional<QByteArray>, data);
        const auto skill = makeSkill();
        skill->setInstalledPathsData(data);
        QCOMPARE(skill->installedPaths(), QStringList{skill->filePath()});
        skill->addInstallation("/h/.cursor/skills/a/SKILL.md", ToolSource::Cursor);
        QCOMPARE(skill->installedPaths(), (QStringList{skill->filePath(), "/h/.cursor/skills/a/SKILL.md"}));
        QCOMPARE(skill->toolSourcesRaw(), QStringLiteral("claude,cursor"));
    }

    // Decoded, the entry that is the record's own path is the record's copy of it,
    // not one more per record.
    void installedPathsShareTheRecordsOwnPath_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("own");
        QTest::newRow("installed at its own path alone") << QByteArray(R"(["/h/own/SKILL.md"])") << 0;
        QTest::newRow("its own path after another")
            << QByteArray(R"(["/h/.cursor/skills/a/SKILL.md","/h/own/SKILL.md"])") << 1;
        QTest::newRow("its own path written with escapes") << QByteArray(R"(["\/h\/own\/SKILL.md"])") << 0;
    }
    void installedPathsShareTheRecordsOwnPath()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, own);
        const auto skill = makeSkill();
        skill->setFilePath(QString::fromUtf8("/h/own/SKILL.md")); // held, not a literal
        skill->setInstalledPathsData(data);
        const QStringList paths = skill->installedPaths();
        QCOMPARE(paths.at(own), skill->filePath());
        QVERIFY(paths.at(own).isSharedWith(skill->filePath()));
    }

    // Stored bytes are compared to tell a change: the writer must give what
    // QJsonDocument gave for the same strings, whatever they hold.
    void compactJsonIsWhatQtWrites_data()
    {
        QTest::addColumn<QStringList>("texts");
        const auto units = [](std::initializer_list<char16_t> list) {
            return QString(reinterpret_cast<const QChar *>(std::data(list)), qsizetype(list.size()));
        };
        QStringList controls;
        for (char16_t c = 0; c < 0x20; ++c)
            controls.append(units({u'a', c, u'b'}));
        QTest::newRow("nothing") << QStringList{};
        QTest::newRow("an empty string") << QStringList{QString()};
        QTest::newRow("plain text and paths") << QStringList{"name", "/home/u/.claude/skills/a b/SKILL.md", "x: y"};
        QTest::newRow("quotes, backslashes, slashes and DEL") << QStringList{"say \"hi\"", "C:\\dir", "a/b", "\x7f"};
        QTest::newRow("every control character") << controls;
        QTest::newRow("accents, CJK and the ends of each UTF-8 length")
            << QStringList{"Grüße", "東京", units({0x7f, 0x80, 0x7ff, 0x800, 0xfffd, 0xffff})};
        QTest::newRow("characters beyond the BMP") << QStringList{"🙂 ok", units({0xd800, 0xdc00}), units({0xdbff, 0xdfff})};
        QTest::newRow("halves of surrogate pairs alone or reversed")
            << QStringList{units({u'a', 0xd800}), units({0xdc00, u'b'}), units({0xdc00, 0xd800}), units({0xd83d, 0xd83d, 0xde42})};
        QTest::newRow("keys in code unit order, case and accents") << QStringList{"b", "B", "a", "é", "Z", "_", "10", "9"};

        QRandomGenerator random(7);
        QStringList noise;
        for (int i = 0; i < 300; ++i) {
            QString text;
            for (int n = int(random.bounded(12)); n > 0; --n) {
                const char16_t pick[] = {char16_t(random.bounded(0x80)), char16_t(0x80 + random.bounded(0x780)),
                                         char16_t(0x800 + random.bounded(0xf800)), char16_t(0xd800 + random.bounded(0x800))};
                text += QChar(pick[random.bounded(4)]);
            }
            noise.append(text);
        }
        QTest::newRow("random code units of every kind") << noise;
    }
    void compactJsonIsWhatQtWrites()
    {
        QFETCH(QStringList, texts);
        QCOMPARE(CompactJson::stringArray(texts), QJsonDocument(QJsonArray::fromStringList(texts)).toJson(QJsonDocument::Compact));
        QMap<QString, QString> map;
        QJsonObject object;
        for (qsizetype i = 0; i < texts.size(); ++i) {
            const QString value = texts.value(texts.size() - 1 - i);
            map.insert(texts.at(i), value);
            object.insert(texts.at(i), value);
        }
        QCOMPARE(CompactJson::stringMap(map), QJsonDocument(object).toJson(QJsonDocument::Compact));
    }

    void installedPathsDecodeAsTheJsonParserReadsThem_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("two plain paths, as written") << QByteArray(R"(["/a/SKILL.md","/b/SKILL.md"])");
        QTest::newRow("one plain path") << QByteArray(R"(["/a/SKILL.md"])");
        QTest::newRow("an empty list") << QByteArray("[]");
        QTest::newRow("one empty string") << QByteArray(R"([""])");
        QTest::newRow("an empty string after a path") << QByteArray(R"(["/a",""])");
        QTest::newRow("a lone comma as the whole path") << QByteArray(R"([","])");
        QTest::newRow("spaces between the tokens") << QByteArray(R"([ "/a" , "/b" ])");
        QTest::newRow("an escaped quote inside a path") << QByteArray("[\"/a\\\"b/SKILL.md\"]");
        QTest::newRow("an escaped backslash and a separator lookalike") << QByteArray("[\"/a\\\\\",\"/b\"]");
        QTest::newRow("a path with an accented letter") << QByteArray("[\"/caf\xC3\xA9/SKILL.md\"]");
        QTest::newRow("a raw tab inside a path") << QByteArray("[\"/a\tb\"]");
        QTest::newRow("two strings with no comma between") << QByteArray(R"(["/a""/b"])");
        QTest::newRow("a quote that never closes") << QByteArray("[\"]");
        QTest::newRow("an array that never closes") << QByteArray(R"(["/a","/b")");
        QTest::newRow("a number among the paths") << QByteArray(R"(["/a",3])");
        QTest::newRow("bytes that are not UTF-8") << QByteArray("[\"/a\xFF\"]");
    }
    void installedPathsDecodeAsTheJsonParserReadsThem()
    {
        QFETCH(QByteArray, data);
        std::optional<QStringList> expected;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(data, &error);
        if (error.error == QJsonParseError::NoError && document.isArray()) {
            QStringList list;
            for (const QJsonValue &value : document.array())
                list.append(value.toString());
            const bool allStrings = std::all_of(document.array().begin(), document.array().end(),
                                                [](const QJsonValue &value) { return value.isString(); });
            if (allStrings)
                expected = list;
        }
        QCOMPARE(SkillEncoding::decodeStringList(data), expected);

        // Whether a record is installed at one path alone, told from these bytes
        // without decoding where they allow, agrees with the decoded paths: for
        // each of them, the file path, and the text between the brackets read as is.
        const auto decodedOnce = makeSkill();
        decodedOnce->setInstalledPathsData(data);
        const QStringList paths = decodedOnce->installedPaths();
        QStringList asked = paths;
        asked << decodedOnce->filePath() << QString::fromLatin1(data.mid(2, data.size() - 4))
              << QString::fromUtf8(data.mid(2, data.size() - 4));
        for (const QString &path : std::as_const(asked)) {
            const auto fresh = makeSkill();
            fresh->setInstalledPathsData(data);
            QVERIFY2(fresh->isInstalledOnlyAt(path) == (paths == QStringList{path}), qPrintable(path));
            QVERIFY2(decodedOnce->isInstalledOnlyAt(path) == (paths == QStringList{path}), qPrintable(path));
        }
    }

    void writesAreSortedAndDistinctAndAKnownInstallationChangesNothing()
    {
        const auto skill = makeSkill();
        skill->setToolSources({ToolSource::Cursor, ToolSource::Claude, ToolSource::Cursor});
        QCOMPARE(skill->toolSourcesRaw(), QStringLiteral("claude,cursor"));
        skill->setInstalledPaths({"/b", "/a", "/b"});
        QCOMPARE(skill->installedPaths(), (QStringList{"/b", "/a"}));

        QSignalSpy paths(skill.get(), &Skill::installedPathsDataChanged);
        QSignalSpy tools(skill.get(), &Skill::toolSourcesRawChanged);
        skill->addInstallation("/a", ToolSource::Claude);
        QCOMPARE(paths.count(), 0);
        QCOMPARE(tools.count(), 0);
    }

    void frontmatterDecoding_data()
    {
        QTest::addColumn<std::optional<QByteArray>>("data");
        QTest::addColumn<Skill::Frontmatter>("expected");
        QTest::newRow("an object of strings reads back")
            << std::optional<QByteArray>(R"({"name":"x","tags":"a\nb"})") << Skill::Frontmatter{{"name", "x"}, {"tags", "a\nb"}};
        QTest::newRow("an object with a number reads as empty")
            << std::optional<QByteArray>(R"({"name":"x","n":1})") << Skill::Frontmatter{};
        QTest::newRow("an array reads as empty") << std::optional<QByteArray>(R"(["x"])") << Skill::Frontmatter{};
        QTest::newRow("no data reads as empty") << std::optional<QByteArray>() << Skill::Frontmatter{};
    }
    void frontmatterDecoding()
    {
        QFETCH(std::optional<QByteArray>, data);
        QFETCH(Skill::Frontmatter, expected);
        const auto skill = makeSkill();
        skill->setFrontmatterData(data);
        QCOMPARE(skill->frontmatter(), expected);
    }

    void projectName_data()
    {
        QTest::addColumn<QString>("filePath");
        QTest::addColumn<bool>("isGlobal");
        QTest::addColumn<QString>("expected"); // "<none>" for no value
        QTest::newRow("the folder before .claude names the project")
            << "/Users/a/code/app/.claude/skills/x/SKILL.md" << false << "app";
        QTest::newRow("the first dot-folder decides")
            << "/Users/a/.hidden/app/.cursor/rules/r.mdc" << false << "a";
        QTest::newRow("a global skill has no project") << "/Users/a/code/app/.claude/skills/x/SKILL.md" << true << "<none>";
        QTest::newRow("a path without a dot-folder has no project") << "/Users/a/code/app/skill.md" << false << "<none>";
        QTest::newRow("a dot-folder right under the root has no project") << "/.claude/x.md" << false << "<none>";
        QTest::newRow("a dot-file names its folder's project") << "/Users/a/code/app/.windsurfrules" << false << "app";
        QTest::newRow("an empty folder name before the dot-folder is no project")
            << "/Users/a//.claude/skills/x/SKILL.md" << false << "<none>";
        QTest::newRow("a turned-off skill has no project") << "<off>/app-x/SKILL.md" << false << "<none>";
    }
    void projectName()
    {
        QFETCH(QString, filePath);
        QFETCH(bool, isGlobal);
        QFETCH(QString, expected);
        filePath.replace(QStringLiteral("<off>"), turnedOffFolder());
        const auto skill = makeSkill(filePath, isGlobal);
        QCOMPARE(skill->projectName().value_or(QStringLiteral("<none>")), expected);
        // Callers going over the whole library pass the folders in: same answer.
        QCOMPARE(skill->projectName(QStringList(), turnedOffFolder()).value_or(QStringLiteral("<none>")), expected);
    }

    void equalWritesNotifyNobody()
    {
        const auto skill = makeSkill();
        QSignalSpy name(skill.get(), &Skill::nameChanged);
        QSignalSpy favorite(skill.get(), &Skill::isFavoriteChanged);
        QSignalSpy date(skill.get(), &Skill::fileModifiedDateChanged);
        skill->setName(skill->name());
        skill->setIsFavorite(false);
        skill->setFileModifiedDate(QDateTime::fromSecsSinceEpoch(1000, Qt::UTC).toLocalTime());
        skill->setFrontmatter(skill->frontmatter());
        QCOMPARE(name.count() + favorite.count() + date.count(), 0);
        skill->setName(QStringLiteral("b"));
        skill->setIsFavorite(true);
        QCOMPARE(name.count(), 1);
        QCOMPARE(favorite.count(), 1);
    }
};

VESK_TEST_GUILESS_MAIN(TestSkillRecords)
#include "tst_skillrecords.moc"
