#include "library/frontmatter.h"

#include "testhome.h"

#include <QDir>
#include <QFile>
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

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

enum class Unreadable { InvalidUtf8, CutCharacter, Missing, Directory };

} // namespace

Q_DECLARE_METATYPE(Unreadable)

class TestFrontmatter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Where a block starts and ends, and what is left as the body.
    void blockAndBody_data();
    void blockAndBody();
    // How the lines inside a block become keys and values.
    void values_data();
    void values();
    void heading_data();
    void heading();
    void readByTool_data();
    void readByTool();
    void unreadableFile_data();
    void unreadableFile();
    // Hostile shapes near the size limit are read whole, in time proportional to
    // their size (a reader that copied the value per line took hours here).
    void hugeBlocks_data();
    void hugeBlocks();
};

void TestFrontmatter::blockAndBody_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<Fields>("frontmatter");
    QTest::addColumn<QString>("content");

    QTest::newRow("empty text has no keys and no content") << QString() << Fields() << QString();
    QTest::newRow("an opening delimiter without a closing one leaves the text untouched")
        << QStringLiteral("---\nname: open\n\nbody  \n") << Fields()
        << QStringLiteral("---\nname: open\n\nbody  \n");
    QTest::newRow("an empty block leaves only the body")
        << QStringLiteral("---\n---\nbody") << Fields() << QStringLiteral("body");
    QTest::newRow("delimiters with blanks around them still count")
        << QStringLiteral("\u00a0---\t\nname: spaced\n  ---  \nbody")
        << Fields{{QStringLiteral("name"), QStringLiteral("spaced")}} << QStringLiteral("body");
    QTest::newRow("four dashes do not open a block")
        << QStringLiteral("----\nname: x\n---\nbody") << Fields()
        << QStringLiteral("----\nname: x\n---\nbody");
    QTest::newRow("text after the dashes does not open a block")
        << QStringLiteral("--- x\nname: x\n---\nbody") << Fields()
        << QStringLiteral("--- x\nname: x\n---\nbody");
    QTest::newRow("text after the dashes does not close a block")
        << QStringLiteral("---\nname: x\n--- end\nbody") << Fields()
        << QStringLiteral("---\nname: x\n--- end\nbody");
    QTest::newRow("a carriage return keeps the first line from being a delimiter")
        << QStringLiteral("---\r\nname: x\r\n---\r\nbody\r\n") << Fields()
        << QStringLiteral("---\r\nname: x\r\n---\r\nbody\r\n");
    QTest::newRow("only the first closing delimiter ends the block")
        << QStringLiteral("---\nname: x\n---\nbody\n---\nmore")
        << Fields{{QStringLiteral("name"), QStringLiteral("x")}}
        << QStringLiteral("body\n---\nmore");
    QTest::newRow("the body loses the blank lines around it but keeps its inner layout")
        << QStringLiteral("---\nname: x\n---\n\n \n  Intro\n\n  more\t\n\n")
        << Fields{{QStringLiteral("name"), QStringLiteral("x")}}
        << QStringLiteral("Intro\n\n  more");
    QTest::newRow("nothing after the closing delimiter gives an empty body")
        << QStringLiteral("---\nname: x\n---") << Fields{{QStringLiteral("name"), QStringLiteral("x")}}
        << QString();
}

void TestFrontmatter::blockAndBody()
{
    QFETCH(QString, text);
    QFETCH(Fields, frontmatter);
    QFETCH(QString, content);

    QCOMPARE(parseFrontmatter(text), frontmatterResult(frontmatter, content));
}

void TestFrontmatter::values_data()
{
    QTest::addColumn<QString>("block");
    QTest::addColumn<Fields>("frontmatter");

    QTest::newRow("a value keeps its quotation marks")
        << QStringLiteral("name: \"Quoted Name\"\ndescription: 'single'")
        << Fields{{QStringLiteral("name"), QStringLiteral("\"Quoted Name\"")},
                  {QStringLiteral("description"), QStringLiteral("'single'")}};
    QTest::newRow("a colon inside a value stays part of it")
        << QStringLiteral("homepage: https://example.com:8080/x")
        << Fields{{QStringLiteral("homepage"), QStringLiteral("https://example.com:8080/x")}};
    QTest::newRow("blanks around a key and its value are dropped")
        << QStringLiteral("name \t:\t spaced out \t")
        << Fields{{QStringLiteral("name"), QStringLiteral("spaced out")}};
    QTest::newRow("a repeated key keeps its later value")
        << QStringLiteral("name: first\nname: second")
        << Fields{{QStringLiteral("name"), QStringLiteral("second")}};
    QTest::newRow("a key without a value stores an empty value")
        << QStringLiteral("license:\nname: x")
        << Fields{{QStringLiteral("license"), QString()}, {QStringLiteral("name"), QStringLiteral("x")}};
    QTest::newRow("list items under an empty value become lines")
        << QStringLiteral("tools:\n  - a\n\t- b")
        << Fields{{QStringLiteral("tools"), QStringLiteral("a\nb")}};
    QTest::newRow("a literal block keeps an empty line between its lines")
        << QStringLiteral("description: |\n  one\n\n  two")
        << Fields{{QStringLiteral("description"), QStringLiteral("one\n\ntwo")}};
    QTest::newRow("a folded block keeps its lines apart")
        << QStringLiteral("description: >\n  one\n  two")
        << Fields{{QStringLiteral("description"), QStringLiteral("one\ntwo")}};
    QTest::newRow("empty lines at the edges of a block are dropped")
        << QStringLiteral("description: |\n\n  text\n\n")
        << Fields{{QStringLiteral("description"), QStringLiteral("text")}};
    QTest::newRow("a plain value goes on over indented lines but skips empty ones")
        << QStringLiteral("description: starts here\n  and goes on\n\n  - still")
        << Fields{{QStringLiteral("description"), QStringLiteral("starts here\nand goes on\nstill")}};
    QTest::newRow("ignored lines leave the pending key collecting indented lines")
        << QStringLiteral("tools:\n  - a\n- stray: x\n: nothing\nno colon here\n  - b\nname: after")
        << Fields{{QStringLiteral("tools"), QStringLiteral("a\nb")},
                  {QStringLiteral("name"), QStringLiteral("after")}};
    QTest::newRow("an indented key line with no key pending is read as a key")
        << QStringLiteral("  name: indented\nsummary: x")
        << Fields{{QStringLiteral("name"), QStringLiteral("indented")},
                  {QStringLiteral("summary"), QStringLiteral("x")}};
}

void TestFrontmatter::values()
{
    QFETCH(QString, block);
    QFETCH(Fields, frontmatter);

    const QString text = QStringLiteral("---\n") + block + QStringLiteral("\n---\nbody");
    QCOMPARE(parseFrontmatter(text), frontmatterResult(frontmatter, QStringLiteral("body")));
}

void TestFrontmatter::heading_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");

    QTest::newRow("the first heading line names the skill")
        << QStringLiteral("Intro\n# Title  \n# Second\nbody") << QStringLiteral("Title");
    QTest::newRow("a hash without a space is no heading")
        << QStringLiteral("#Title\ntext") << QString();
    QTest::newRow("an indented hash is no heading")
        << QStringLiteral("  # Title\ntext") << QString();
    QTest::newRow("a deeper heading is passed over")
        << QStringLiteral("## Sub\n# Main") << QStringLiteral("Main");
    QTest::newRow("a frontmatter block stays part of the content")
        << QStringLiteral("---\nname: x\n---\n# Title") << QStringLiteral("Title");
}

void TestFrontmatter::heading()
{
    QFETCH(QString, text);
    QFETCH(QString, name);

    ParsedSkill expected;
    expected.content = text;
    expected.name = name;
    QCOMPARE(parseHeading(text), expected);
}

void TestFrontmatter::readByTool_data()
{
    QTest::addColumn<ToolSource>("tool");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Fields>("frontmatter");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("content");

    const QString both = QStringLiteral("---\nname: Café helper\ndescription: Brews\n---\n# Kitchen\nSteps\n");
    const Fields bothFields{{QStringLiteral("name"), QStringLiteral("Café helper")},
                            {QStringLiteral("description"), QStringLiteral("Brews")}};
    const QString body = QStringLiteral("# Kitchen\nSteps");

    QTest::newRow("Claude reads the frontmatter")
        << ToolSource::Claude << both << bothFields << QStringLiteral("Café helper") << body;
    QTest::newRow("Cursor reads the frontmatter")
        << ToolSource::Cursor << both << bothFields << QStringLiteral("Café helper") << body;
    QTest::newRow("Windsurf reads the frontmatter")
        << ToolSource::Windsurf << both << bothFields << QStringLiteral("Café helper") << body;
    QTest::newRow("Codex reads the heading")
        << ToolSource::Codex << both << Fields() << QStringLiteral("Kitchen") << both;
    QTest::newRow("Copilot reads the heading")
        << ToolSource::Copilot << both << Fields() << QStringLiteral("Kitchen") << both;
    QTest::newRow("Aider reads the heading")
        << ToolSource::Aider << both << Fields() << QStringLiteral("Kitchen") << both;
    QTest::newRow("Amp reads the heading")
        << ToolSource::Amp << both << Fields() << QStringLiteral("Kitchen") << both;
    QTest::newRow("a custom file with a named block reads the frontmatter")
        << ToolSource::Custom << both << bothFields << QStringLiteral("Café helper") << body;

    const QString unnamed = QStringLiteral("---\ndescription: Brews\n---\n# Kitchen\nSteps\n");
    QTest::newRow("a custom file whose block has no name reads the heading instead")
        << ToolSource::Custom << unnamed << Fields() << QStringLiteral("Kitchen") << unnamed;
    const QString bare = QStringLiteral("---\ndescription: Brews\n---\nSteps");
    QTest::newRow("a custom file with neither a name nor a heading keeps only its text")
        << ToolSource::Custom << bare << Fields() << QString() << bare;
}

void TestFrontmatter::readByTool()
{
    QFETCH(ToolSource, tool);
    QFETCH(QString, text);
    QFETCH(Fields, frontmatter);
    QFETCH(QString, name);
    QFETCH(QString, content);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("SKILL.md"));
    QVERIFY(writeFile(path, text.toUtf8()));

    ParsedSkill expected;
    expected.frontmatter = frontmatter;
    expected.content = content;
    expected.name = name;
    expected.description = frontmatter.value(QStringLiteral("description"));

    const std::optional<ParsedSkill> parsed = readSkillFile(path, tool);
    QVERIFY(parsed.has_value());
    QCOMPARE(*parsed, expected);
}

void TestFrontmatter::unreadableFile_data()
{
    QTest::addColumn<Unreadable>("kind");

    QTest::newRow("invalid UTF-8 gives no skill") << Unreadable::InvalidUtf8;
    QTest::newRow("a file cut off inside a character gives no skill") << Unreadable::CutCharacter;
    QTest::newRow("a missing file gives no skill") << Unreadable::Missing;
    QTest::newRow("a directory gives no skill") << Unreadable::Directory;
}

void TestFrontmatter::unreadableFile()
{
    QFETCH(Unreadable, kind);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("SKILL.md"));
    switch (kind) {
    case Unreadable::InvalidUtf8:
        QVERIFY(writeFile(path, QByteArrayLiteral("---\nname: bad \xff\xfe byte\n---\nbody\n")));
        break;
    case Unreadable::CutCharacter:
        // The first byte of "é" and nothing after it: no shorter text, no skill.
        QVERIFY(writeFile(path, QByteArrayLiteral("---\nname: cafe\n---\ncaf\xc3")));
        break;
    case Unreadable::Missing:
        break;
    case Unreadable::Directory:
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("SKILL.md")));
        break;
    }

    for (const ToolSource tool : {ToolSource::Claude, ToolSource::Codex, ToolSource::Custom})
        QVERIFY2(!readSkillFile(path, tool).has_value(), qPrintable(Tools::rawValue(tool)));
}

void TestFrontmatter::hugeBlocks_data()
{
    QTest::addColumn<QString>("itemPrefix");
    QTest::addColumn<QString>("between");

    QTest::newRow("a list of 300,000 items") << QStringLiteral("  - ") << QString();
    QTest::newRow("a value continued over 300,000 lines") << QStringLiteral("  ") << QString();
    QTest::newRow("items with an ignored line between each two")
        << QStringLiteral("  - ") << QStringLiteral("no colon here\n");
}

void TestFrontmatter::hugeBlocks()
{
    QFETCH(QString, itemPrefix);
    QFETCH(QString, between);

    constexpr int items = 300'000;
    QString text = QStringLiteral("---\nname: big\ntools:\n");
    for (int i = 0; i < items; ++i)
        text += itemPrefix + QString::number(i) + u'\n' + between;
    text += QStringLiteral("description: after\n---\nbody\n");
    const QByteArray bytes = text.toUtf8();
    QVERIFY(bytes.size() <= 8 * 1024 * 1024);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("SKILL.md"));
    QVERIFY(writeFile(path, bytes));
    const std::optional<ParsedSkill> parsed = readSkillFile(path, ToolSource::Claude);
    QVERIFY(parsed.has_value());

    const QString tools = parsed->frontmatter.value(QStringLiteral("tools"));
    QCOMPARE(tools.count(u'\n'), items - 1);
    QVERIFY(tools.startsWith(QStringLiteral("0\n1\n")));
    QVERIFY(tools.endsWith(QStringLiteral("\n") + QString::number(items - 1)));
    QCOMPARE(parsed->name, QStringLiteral("big"));
    QCOMPARE(parsed->description, QStringLiteral("after"));
    QCOMPARE(parsed->content, QStringLiteral("body"));
}

VESK_TEST_GUILESS_MAIN(TestFrontmatter)
#include "tst_frontmatter.moc"
