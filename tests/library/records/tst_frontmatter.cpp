#include "library/records/frontmatter.h"

#include "skillfiles.h"
#include "testhome.h"

#include <QDir>
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
        QTest::newRow("a carriage return keeps the first line from being a delimiter")
            << "---\r\nname: x\r\n---\r\nbody\r\n" << Fields() << "---\r\nname: x\r\n---\r\nbody\r\n";
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

    // How the lines inside a block become keys and values.
    void values_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<Fields>("frontmatter");

        QTest::newRow("a value keeps its quotation marks")
            << "name: \"Quoted Name\"\ndescription: 'single'"
            << Fields{{"name", "\"Quoted Name\""}, {"description", "'single'"}};
        QTest::newRow("a colon inside a value stays part of it")
            << "homepage: https://example.com:8080/x" << Fields{{"homepage", "https://example.com:8080/x"}};
        QTest::newRow("blanks around a key and its value are dropped")
            << "name \t:\t spaced out \t" << Fields{{"name", "spaced out"}};
        QTest::newRow("a repeated key keeps its later value") << "name: first\nname: second" << Fields{{"name", "second"}};
        QTest::newRow("a key without a value stores an empty value")
            << "license:\nname: x" << Fields{{"license", QString()}, {"name", "x"}};
        QTest::newRow("list items under an empty value become lines") << "tools:\n  - a\n\t- b" << Fields{{"tools", "a\nb"}};
        QTest::newRow("a literal block keeps an empty line between its lines")
            << "description: |\n  one\n\n  two" << Fields{{"description", "one\n\ntwo"}};
        QTest::newRow("a folded block keeps its lines apart")
            << "description: >\n  one\n  two" << Fields{{"description", "one\ntwo"}};
        QTest::newRow("empty lines at the edges of a block are dropped")
            << "description: |\n\n  text\n\n" << Fields{{"description", "text"}};
        QTest::newRow("a plain value goes on over indented lines but skips empty ones")
            << "description: starts here\n  and goes on\n\n  - still"
            << Fields{{"description", "starts here\nand goes on\nstill"}};
        QTest::newRow("ignored lines leave the pending key collecting indented lines")
            << "tools:\n  - a\n- stray: x\n: nothing\nno colon here\n  - b\nname: after"
            << Fields{{"tools", "a\nb"}, {"name", "after"}};
        QTest::newRow("an indented key line with no key pending is read as a key")
            << "  name: indented\nsummary: x" << Fields{{"name", "indented"}, {"summary", "x"}};
    }
    void values()
    {
        QFETCH(QString, block);
        QFETCH(Fields, frontmatter);
        const QString text = QStringLiteral("---\n") + block + QStringLiteral("\n---\nbody");
        QCOMPARE(parseFrontmatter(text), frontmatterResult(frontmatter, QStringLiteral("body")));
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
        QTest::newRow("a list of 300,000 items") << "  - " << QString();
        QTest::newRow("a value continued over 300,000 lines") << "  " << QString();
        QTest::newRow("items with an ignored line between each two") << "  - " << "no colon here\n";
    }
    void hugeBlocks()
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
        TestFiles::writeFile(skillPath(), bytes);
        const std::optional<ParsedSkill> parsed = readSkillFile(skillPath(), ToolSource::Claude);
        QVERIFY(parsed.has_value());

        const QString tools = parsed->frontmatter.value(QStringLiteral("tools"));
        QCOMPARE(tools.count(u'\n'), items - 1);
        QVERIFY(tools.startsWith(QStringLiteral("0\n1\n")));
        QVERIFY(tools.endsWith(QStringLiteral("\n") + QString::number(items - 1)));
        QCOMPARE(parsed->name, QStringLiteral("big"));
        QCOMPARE(parsed->description, QStringLiteral("after"));
        QCOMPARE(parsed->content, QStringLiteral("body"));
    }
};

VESK_TEST_GUILESS_MAIN(TestFrontmatter)
#include "tst_frontmatter.moc"
