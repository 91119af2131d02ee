#include "library/records/frontmatter.h"

#include "skillfiles.h"
#include "testhome.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest/QtTest>

using Fields = QMap<QString, QString>;

Q_DECLARE_METATYPE(ToolSource)

// Readable failure output when QCOMPARE looks at whole results.
char *toString(const ParsedSkill &skill)
{
    QStringList fields;
    for (auto it = skill.frontmatter.cbegin(); it != skill.frontmatter.cend(); ++it)
        fields << it.key() + u'=' + it.value();
    return QTest::toString(QStringLiteral("{frontmatter {%1} name %2 description %3 content %4}")
                               .arg(fields.join(u"; "), skill.name, skill.description,
                                    skill.content));
}

namespace {

// The result a frontmatter read should give; name and description come from the block.
ParsedSkill frontmatterResult(const Fields &frontmatter, const QString &content)
{
    ParsedSkill skill;
    skill.frontmatter = frontmatter;
    skill.content = content;
    skill.name = frontmatter.value(QStringLiteral("name"));
    skill.description = frontmatter.value(QStringLiteral("description"));
    return skill;
}

enum class Unreadable { InvalidUtf8, CutCharacter, Missing, Directory };

} // namespace

Q_DECLARE_METATYPE(Unreadable)

class TestFrontmatter : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString skillPath() const { return m_dir.filePath(QStringLiteral("SKILL.md")); }

private Q_SLOTS:
    void cleanup()
    {
        // Rows write their own SKILL.md, or make a folder of that name.
        QFile::remove(skillPath());
        QDir().rmdir(skillPath());
    }

    // Where a block starts and ends, and what is left as the body.
    void blockAndBody_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Fields>("frontmatter");
        QTest::addColumn<QString>("content");

        QTest::newRow("empty text has no keys and no content") << QString() << Fields() << QString();
        QTest::newRow("an opening delimiter without a closing one leaves the text untouched")
            << "---\nname: open\n\nbody  \n" << Fields() << "---\nname: open\n\nbody  \n";
        QTest::newRow("an empty block leaves only the body") << "---\n---\nbody" << Fields() << "body";
        QTest::newRow("delimiters with blanks around them still count")
            << "\u00a0---\t\nname: spaced\n  ---  \nbody" << Fields{{"name", "spaced"}} << "body";
        QTest::newRow("four dashes do not open a block")
            << "----\nname: x\n---\nbody" << Fields() << "----\nname: x\n---\nbody";
        QTest::newRow("text after the dashes does not open a block")
            << "--- x\nname: x\n---\nbody" << Fields() << "--- x\nname: x\n---\nbody";
        QTest::newRow("text after the dashes does not close a block")
            << "---\nname: x\n--- end\nbody" << Fields() << "---\nname: x\n--- end\nbody";
        QTest::newRow("a block with CR LF line ends reads like one with LF")
            << "---\r\nname: x\r\n---\r\nbody\r\n" << Fields{{"name", "x"}} << "body";
        QTest::newRow("a lone carriage return after the dashes is no delimiter")
            << "---\r\r\nname: x\n---\nbody" << Fields() << "---\r\r\nname: x\n---\nbody";
        QTest::newRow("only the first closing delimiter ends the block")
            << "---\nname: x\n---\nbody\n---\nmore" << Fields{{"name", "x"}} << "body\n---\nmore";
        QTest::newRow("the body loses the blank lines around it but keeps its inner layout")
            << "---\nname: x\n---\n\n \n  Intro\n\n  more\t\n\n" << Fields{{"name", "x"}} << "Intro\n\n  more";
        QTest::newRow("nothing after the closing delimiter gives an empty body")
            << "---\nname: x\n---" << Fields{{"name", "x"}} << QString();
    }
    void blockAndBody()
    {
        QFETCH(QString, text);
        QFETCH(Fields, frontmatter);
        QFETCH(QString, content);
        QCOMPARE(parseFrontmatter(text), frontmatterResult(frontmatter, content));
    }

    // How the lines inside a block become keys and values: as YAML reads them, or,
    // when the block is not YAML, line by line.
    void values_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<Fields>("frontmatter");
        QTest::addColumn<bool>("isYaml");

        QTest::newRow("quoted values lose their quotation marks")
            << "name: \"Quoted Name\"\ndescription: 'single'"
            << Fields{{"name", "Quoted Name"}, {"description", "single"}} << true;
        QTest::newRow("a colon inside a value stays part of it")
            << "homepage: https://example.com:8080/x" << Fields{{"homepage", "https://example.com:8080/x"}} << true;
        QTest::newRow("blanks around a key and its value are dropped")
            << "name  :  spaced out  " << Fields{{"name", "spaced out"}} << true;
        QTest::newRow("a key without a value stores an empty value")
            << "license:\nname: x" << Fields{{"license", QString()}, {"name", "x"}} << true;
        QTest::newRow("numbers, booleans and nulls keep their text, a null is empty")
            << "version: 1.10\nbeta: true\nowner: ~\nexpires: null"
            << Fields{{"version", "1.10"}, {"beta", "true"}, {"owner", QString()}, {"expires", QString()}} << true;
        QTest::newRow("a block list becomes one item a line")
            << "tools:\n  - a\n  - 'b c'" << Fields{{"tools", "a\nb c"}} << true;
        QTest::newRow("a flow list becomes one item a line, nested items their compact text")
            << "tools: [Read, \"Grep\", {Bash: git}, [x, y]]" << Fields{{"tools", "Read\nGrep\n{Bash: git}\n[x, y]"}} << true;
        QTest::newRow("a nested mapping becomes its compact text")
            << "metadata:\n  author: me\n  version: \"1.0\"\n  tags: [a, b]"
            << Fields{{"metadata", "{author: me, version: \"1.0\", tags: [a, b]}"}} << true;
        QTest::newRow("an alias stands for its anchor's value")
            << "name: &n shared\ndescription: *n" << Fields{{"name", "shared"}, {"description", "shared"}} << true;
        QTest::newRow("a key written as a number or in quotes is its text")
            << "1: one\n'two words': two" << Fields{{"1", "one"}, {"two words", "two"}} << true;
        QTest::newRow("doubled quotes in a row inside single quotes are one quote each")
            << "name: 'it''''s'" << Fields{{"name", "it''s"}} << true;
        QTest::newRow("a plain value goes on over indented lines, folded into one")
            << "description: starts here\n  and goes on\n\n  - still"
            << Fields{{"description", "starts here and goes on\n- still"}} << true;

        // Not YAML: the lines are read one by one.
        QTest::newRow("a repeated key is not YAML; the later value is kept")
            << "name: first\nname: second" << Fields{{"name", "second"}} << false;
        QTest::newRow("an unquoted colon after a value is not YAML; the whole line is the value")
            << "name: x\ndescription: Use when: asked" << Fields{{"name", "x"}, {"description", "Use when: asked"}} << false;
        QTest::newRow("line by line, a value keeps its quotation marks")
            << "name: \"q\"\nbad: a: b" << Fields{{"name", "\"q\""}, {"bad", "a: b"}} << false;
        QTest::newRow("line by line, list items indented with tabs become lines")
            << "tools:\n  - a\n\t- b" << Fields{{"tools", "a\nb"}} << false;
        QTest::newRow("line by line, literal and folded blocks keep their lines apart")
            << "description: |\n  one\n\n  two\nsummary: >\n  three\n  four\nx: a: b"
            << Fields{{"description", "one\n\ntwo"}, {"summary", "three\nfour"}, {"x", "a: b"}} << false;
        QTest::newRow("line by line, ignored lines leave the pending key collecting indented lines")
            << "tools:\n  - a\n- stray: x\n: nothing\nno colon here\n  - b\nname: after"
            << Fields{{"tools", "a\nb"}, {"name", "after"}} << false;
        QTest::newRow("line by line, an indented key line with no key pending is read as a key")
            << "  name: indented\nsummary: x" << Fields{{"name", "indented"}, {"summary", "x"}} << false;
        QTest::newRow("a list at the top level is not a mapping; line by line it names nothing")
            << "- name: x\n- description: y" << Fields() << false;
        QTest::newRow("an alias to no anchor is not YAML")
            << "globs: *.ts\nname: x" << Fields{{"globs", "*.ts"}, {"name", "x"}} << false;
        QTest::newRow("a second document is not YAML")
            << "name: x\n...\nname: y" << Fields{{"name", "y"}} << false;
    }
    void values()
    {
        QFETCH(QString, block);
        QFETCH(Fields, frontmatter);
        QFETCH(bool, isYaml);
        const QString text = QStringLiteral("---\n") + block + QStringLiteral("\n---\nbody");
        const ParsedSkill parsed = parseFrontmatter(text);
        QCOMPARE(parsed.frontmatter, frontmatter);
        QCOMPARE(parsed.name, frontmatter.value(QStringLiteral("name")));
        QCOMPARE(parsed.description, frontmatter.value(QStringLiteral("description")));
        QCOMPARE(parsed.content, QStringLiteral("body"));
        QCOMPARE(!parsed.yamlError.has_value(), isYaml);
    }

    // The shapes real skills use, with the name and description the tools read.
    void yamlShapes_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("isYaml");

        QTest::newRow("double quotes with escapes")
            << QByteArray("---\nname: \"prompt-optimizer\"\ndescription: \"Say \\\"hi\\\"\\tthen\\u00e9\\n.\"\n---\n")
            << "prompt-optimizer" << "Say \"hi\"\tthen\u00e9\n." << true;
        QTest::newRow("single quotes with a doubled quote")
            << QByteArray("---\nname: 'x'\ndescription: 'Use it when it''s late'\n---\n") << "x" << "Use it when it's late" << true;
        for (const auto &[indicator, value] :
             std::initializer_list<std::pair<const char *, const char *>>{{"|", "one\ntwo\n"},
                                                                          {"|-", "one\ntwo"},
                                                                          {"|+", "one\ntwo\n\n"},
                                                                          {">", "one two\n"},
                                                                          {">-", "one two"},
                                                                          {">+", "one two\n\n"}}) {
            QTest::addRow("the block indicator %s", indicator)
                << QByteArray("---\nname: x\ndescription: ") + indicator + "\n  one\n  two\n\n---\nbody"
                << "x" << QString::fromUtf8(value) << true;
        }
        QTest::newRow("comments on their own lines and after values")
            << QByteArray("---\n# header\nname: x # the id\ndescription: d  # why\n---\n") << "x" << "d" << true;
        QTest::newRow("a flow list beside the name")
            << QByteArray("---\nname: x\nallowed-tools: [Read, Grep]\ndescription: d\n---\n") << "x" << "d" << true;
        QTest::newRow("nested metadata beside the name")
            << QByteArray("---\nname: x\nmetadata:\n  author: me\n  tags: [a]\ndescription: d\n---\n") << "x" << "d" << true;
        QTest::newRow("CR LF line ends")
            << QByteArray("---\r\nname: 'x'\r\ndescription: |\r\n  one\r\n  two\r\n---\r\n") << "x" << "one\ntwo\n" << true;
        QTest::newRow("a byte-order mark before the block")
            << QByteArray("\xEF\xBB\xBF---\nname: \"x\"\ndescription: d\n---\n") << "x" << "d" << true;
        QTest::newRow("a tab between key and value")
            << QByteArray("---\nname:\tx\ndescription:\t'd'\n---\n") << "x" << "d" << true;
        QTest::newRow("tabs as indentation fall back to the lines")
            << QByteArray("---\nname: x\ndescription:\n\tone\n\ttwo\n---\n") << "x" << "one\ntwo" << false;
        QTest::newRow("an unquoted colon inside the value falls back to the lines")
            << QByteArray("---\nname: \"x\"\ndescription: Use when: the user asks\n---\n")
            << "\"x\"" << "Use when: the user asks" << false;
    }
    void yamlShapes()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, name);
        QFETCH(QString, description);
        QFETCH(bool, isYaml);
        const std::optional<ParsedSkill> parsed = parseSkillBytes(file, SkillReading::Frontmatter);
        QVERIFY(parsed.has_value());
        QCOMPARE(parsed->name, name);
        QCOMPARE(parsed->description, description);
        QCOMPARE(!parsed->yamlError.has_value(), isYaml);
    }

    // Where a block stops being YAML, counted in the file.
    void yamlErrorPlace()
    {
        const ParsedSkill parsed = parseFrontmatter(QStringLiteral("---\nname: x\ndescription: Use when: asked\n---\n"));
        QVERIFY(parsed.yamlError.has_value());
        QCOMPARE(parsed.yamlError->line, 3);
        QCOMPARE(parsed.yamlError->column, 22); // the second colon
        QVERIFY(!parsed.yamlError->message.isEmpty());
    }

    // Skills written the way people write them, each beside the name and
    // description the tools read from it.
    void corpus_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("isYaml");

        const QDir folder(QStringLiteral(VESK_SOURCE_DIR "/tests/data/frontmatter"));
        QFile index(folder.filePath(QStringLiteral("expected.json")));
        QVERIFY(index.open(QIODevice::ReadOnly));
        const QJsonObject expected = QJsonDocument::fromJson(index.readAll()).object();
        QVERIFY(expected.size() >= 40);
        const QStringList files = folder.entryList(QDir::Files, QDir::Name);
        QCOMPARE(files.size(), expected.size() + 1); // every file has its expectation
        for (auto it = expected.begin(); it != expected.end(); ++it) {
            const QJsonObject values = it.value().toObject();
            QTest::newRow(qPrintable(it.key())) << folder.filePath(it.key()) << values[u"name"].toString()
                                                << values[u"description"].toString() << values[u"yaml"].toBool();
        }
    }
    void corpus()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QFETCH(QString, description);
        QFETCH(bool, isYaml);
        const std::optional<ParsedSkill> parsed = readSkillFile(path, SkillReading::Frontmatter);
        QVERIFY(parsed.has_value());
        QCOMPARE(parsed->name, name);
        QCOMPARE(parsed->description, description);
        QCOMPARE(!parsed->yamlError.has_value(), isYaml);
    }

    void heading_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("name");

        QTest::newRow("the first heading line names the skill") << "Intro\n# Title  \n# Second\nbody" << "Title";
        QTest::newRow("a hash without a space is no heading") << "#Title\ntext" << QString();
        QTest::newRow("an indented hash is no heading") << "  # Title\ntext" << QString();
        QTest::newRow("a deeper heading is passed over") << "## Sub\n# Main" << "Main";
        QTest::newRow("a frontmatter block stays part of the content") << "---\nname: x\n---\n# Title" << "Title";
    }
    void heading()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        ParsedSkill expected;
        expected.content = text;
        expected.name = name;
        QCOMPARE(parseHeading(text), expected);
    }

    void readByTool_data()
    {
        QTest::addColumn<ToolSource>("tool");
        QTest::addColumn<QString>("text");
        QTest::addColumn<Fields>("frontmatter");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("content");

        const QString both = QStringLiteral("---\nname: Café helper\ndescription: Brews\n---\n# Kitchen\nSteps\n");
        const Fields bothFields{{"name", "Café helper"}, {"description", "Brews"}};
        for (const ToolSource tool : {ToolSource::Claude, ToolSource::Cursor, ToolSource::Windsurf}) {
            QTest::addRow("%s reads the frontmatter", qPrintable(Tools::displayName(tool)))
                << tool << both << bothFields << "Café helper" << "# Kitchen\nSteps";
        }
        for (const ToolSource tool : {ToolSource::Codex, ToolSource::Copilot, ToolSource::Aider, ToolSource::Amp}) {
            QTest::addRow("%s reads the heading", qPrintable(Tools::displayName(tool)))
                << tool << both << Fields() << "Kitchen" << both;
        }
        QTest::newRow("a custom file with a named block reads the frontmatter")
            << ToolSource::Custom << both << bothFields << "Café helper" << "# Kitchen\nSteps";
        const QString unnamed = QStringLiteral("---\ndescription: Brews\n---\n# Kitchen\nSteps\n");
        QTest::newRow("a custom file whose block has no name reads the heading instead")
            << ToolSource::Custom << unnamed << Fields() << "Kitchen" << unnamed;
        const QString bare = QStringLiteral("---\ndescription: Brews\n---\nSteps");
        QTest::newRow("a custom file with neither a name nor a heading keeps only its text")
            << ToolSource::Custom << bare << Fields() << QString() << bare;
    }
    void readByTool()
    {
        QFETCH(ToolSource, tool);
        QFETCH(QString, text);
        QFETCH(Fields, frontmatter);
        QFETCH(QString, name);
        QFETCH(QString, content);
        TestFiles::writeFile(skillPath(), text.toUtf8());
        ParsedSkill expected = frontmatterResult(frontmatter, content);
        expected.name = name;
        const std::optional<ParsedSkill> parsed = readSkillFile(skillPath(), tool);
        QVERIFY(parsed.has_value());
        QCOMPARE(*parsed, expected);
    }

    void unreadableFile_data()
    {
        QTest::addColumn<Unreadable>("kind");
        QTest::newRow("invalid UTF-8 gives no skill") << Unreadable::InvalidUtf8;
        QTest::newRow("a file cut off inside a character gives no skill") << Unreadable::CutCharacter;
        QTest::newRow("a missing file gives no skill") << Unreadable::Missing;
        QTest::newRow("a directory gives no skill") << Unreadable::Directory;
    }
    void unreadableFile()
    {
        QFETCH(Unreadable, kind);
        if (kind == Unreadable::InvalidUtf8)
            TestFiles::writeFile(skillPath(), "---\nname: bad \xff\xfe byte\n---\nbody\n");
        else if (kind == Unreadable::CutCharacter) // the first byte of "é" and nothing after it
            TestFiles::writeFile(skillPath(), "---\nname: cafe\n---\ncaf\xc3");
        else if (kind == Unreadable::Directory)
            QVERIFY(QDir().mkdir(skillPath()));
        for (const ToolSource tool : {ToolSource::Claude, ToolSource::Codex, ToolSource::Custom})
            QVERIFY2(!readSkillFile(skillPath(), tool).has_value(), qPrintable(Tools::rawValue(tool)));
    }

    // Hostile shapes near the size limit are read whole, in time proportional to
    // their size (a reader that copied the value per line took hours here).
    void hugeBlocks_data()
    {
        QTest::addColumn<QString>("itemPrefix");
        QTest::addColumn<QString>("between");
        QTest::addColumn<QString>("separator");
        QTest::newRow("a list of 300,000 items") << "  - " << QString() << "\n";
        QTest::newRow("a value continued over 300,000 lines, folded into one") << "  " << QString() << " ";
        QTest::newRow("items with an ignored line between each two, read line by line")
            << "  - " << "no colon here\n" << "\n";
    }
    void hugeBlocks()
    {
        QFETCH(QString, itemPrefix);
        QFETCH(QString, between);
        QFETCH(QString, separator);
        constexpr int items = 300'000;
        QString text = QStringLiteral("---\nname: big\ntools:\n");
        for (int i = 0; i < items; ++i)
            text += itemPrefix + QString::number(i) + u'\n' + between;
        text += QStringLiteral("description: after\n---\nbody\n");
        const QByteArray bytes = text.toUtf8();
        QVERIFY(bytes.size() <= 8 * 1024 * 1024);
        TestFiles::writeFile(skillPath(), bytes);
        const std::optional<ParsedSkill> parsed = readSkillFile(skillPath(), ToolSource::Claude);
        QVERIFY(parsed.has_value());

        const QString tools = parsed->frontmatter.value(QStringLiteral("tools"));
        QCOMPARE(tools.count(separator), items - 1);
        QVERIFY(tools.startsWith(u'0' + separator + u'1' + separator));
        QVERIFY(tools.endsWith(separator + QString::number(items - 1)));
        QCOMPARE(parsed->name, QStringLiteral("big"));
        QCOMPARE(parsed->description, QStringLiteral("after"));
        QCOMPARE(parsed->content, QStringLiteral("body"));
    }
};

VESK_TEST_GUILESS_MAIN(TestFrontmatter)
#include "tst_frontmatter.moc"
