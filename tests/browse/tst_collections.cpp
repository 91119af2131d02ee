#include "browse/newcollectionpopover.h"
#include "browse/sidebarmodel.h"
#include "browse/sidebarview.h"
#include "browse/skilllistmodel.h"
#include "browse/skilllistview.h"
#include "common/appstate.h"
#include "common/itemroles.h"
#include "common/libraryactions.h"
#include "libraryfixture.h"
#include "testhome.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QToolButton>
#include <QTreeView>
#include <QtTest/QtTest>

// Collections as a user handles them: from a skill's context menu, by dragging
// skills onto them, and from their own context menu in the sidebar. Every change
// is saved at once, which the tests check by asking the store for pending changes.
class TestCollections final : public QObject
{
    Q_OBJECT

    std::unique_ptr<LibraryFixture> m_library;
    std::unique_ptr<AppState> m_state;

    ModelContext &context() const { return m_library->context(); }

    Skill *addSkill(const QString &name)
    {
        const QString path = m_library->home("skills/" + name + ".md");
        Skill *skill = context().insert(std::make_unique<Skill>(path, path, name, QString(), QString(),
                                                                Skill::Frontmatter{}, ToolSource::Claude, false,
                                                                true, QDateTime::currentDateTime(), 10));
        context().save();
        return skill;
    }

    SkillCollection *addCollection(const QString &name, const QString &icon = QStringLiteral("folder"))
    {
        QString error;
        SkillCollection *collection = createCollection(context(), name, icon, &error);
        if (!collection)
            qWarning() << error;
        return collection;
    }

    static QAction *named(const QList<QAction *> &actions, const QString &objectName)
    {
        for (QAction *action : actions) {
            if (action->objectName() == objectName)
                return action;
        }
        return nullptr;
    }

    static QAction *menuItem(QAction *submenu, const QString &text)
    {
        for (QAction *action : submenu->menu()->actions()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }

private Q_SLOTS:
    void init()
    {
        m_library = std::make_unique<LibraryFixture>();
        m_state = std::make_unique<AppState>();
    }

    void cleanup()
    {
        m_state.reset();
        m_library.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void theSkillMenuTogglesMembership()
    {
        Skill *skill = addSkill("review");
        SkillCollection *work = addCollection("Work");
        SkillCollection *later = addCollection("Later", "bookmark");
        SkillListView list(*m_state, context());
        QObject owner;

        QAction *add = named(list.contextActions(skill, &owner), "addToCollection");
        QVERIFY(add && add->menu());
        QCOMPARE(add->text(), QStringLiteral("Add to Collection"));
        QStringList texts;
        for (QAction *item : add->menu()->actions())
            texts.append(item->isSeparator() ? QStringLiteral("-") : item->text());
        QCOMPARE(texts, (QStringList{"Work", "Later", "-", "New Collection…"}));
        QVERIFY(!menuItem(add, "Work")->isChecked());

        menuItem(add, "Work")->trigger();
        QVERIFY(work->contains(skill));
        QVERIFY(!later->contains(skill));
        QVERIFY(!context().hasChanges());

        // A fresh menu shows the membership; choosing it again takes the skill out.
        QObject again;
        add = named(list.contextActions(skill, &again), "addToCollection");
        QVERIFY(menuItem(add, "Work")->isChecked());
        menuItem(add, "Work")->trigger();
        QVERIFY(!work->contains(skill));
        QVERIFY(!context().hasChanges());
    }

    void aNewCollectionFromTheSkillMenuHoldsTheSkill()
    {
        Skill *skill = addSkill("review");
        addCollection("Work");
        SkillListView list(*m_state, context());
        list.resize(300, 400);
        list.show();
        QObject owner;
        QAction *add = named(list.contextActions(skill, &owner), "addToCollection");
        menuItem(add, "New Collection…")->trigger();
        NewCollectionPopover *popover = list.newCollectionPopover();
        QTRY_VERIFY(popover->isVisible());

        // A taken name is refused with the same words as in the sidebar.
        popover->findChild<QLineEdit *>()->setText("Work");
        popover->findChild<QPushButton *>("create")->click();
        QVERIFY(popover->isVisible());
        QCOMPARE(popover->errorText(), QStringLiteral("A collection named \"Work\" already exists."));

        popover->findChild<QLineEdit *>()->setText("  Reading list ");
        popover->findChild<QToolButton *>("bookmark")->click();
        popover->findChild<QPushButton *>("create")->click();
        QVERIFY(!popover->isVisible());
        SkillCollection *made = context().collectionNamed("Reading list");
        QVERIFY(made);
        QCOMPARE(made->icon(), QStringLiteral("bookmark"));
        QCOMPARE(made->skills(), QList<Skill *>{skill});
        QVERIFY(!context().hasChanges());
    }

    void skillsDroppedOnACollectionJoinIt()
    {
        Skill *a = addSkill("a");
        Skill *b = addSkill("b");
        SkillCollection *work = addCollection("Work");
        work->addSkill(b);
        context().save();
        SkillListModel list(*m_state, context());
        SidebarModel sidebar(context());
        list.refresh();
        sidebar.refresh();

        QVERIFY(list.flags(list.index(0)) & Qt::ItemIsDragEnabled);
        std::unique_ptr<QMimeData> data(list.mimeData({list.index(list.rowOf(a)), list.index(list.rowOf(b))}));
        const QModelIndex workRow = sidebar.indexForFilter(SidebarFilter::collection("Work"));
        const QModelIndex allRow = sidebar.indexForFilter(SidebarFilter::all());
        QVERIFY(sidebar.flags(workRow) & Qt::ItemIsDropEnabled);
        QVERIFY(!(sidebar.flags(allRow) & Qt::ItemIsDropEnabled));
        QVERIFY(sidebar.canDropMimeData(data.get(), Qt::CopyAction, -1, -1, workRow));
        QVERIFY(!sidebar.canDropMimeData(data.get(), Qt::CopyAction, -1, -1, allRow));
        QVERIFY(!sidebar.canDropMimeData(data.get(), Qt::CopyAction, 0, 0, workRow.parent())); // between rows
        QMimeData text;
        text.setText("a");
        QVERIFY(!sidebar.canDropMimeData(&text, Qt::CopyAction, -1, -1, workRow));

        QVERIFY(sidebar.dropMimeData(data.get(), Qt::CopyAction, -1, -1, workRow));
        // The one already in it is not added twice.
        QCOMPARE(work->skills(), (QList<Skill *>{b, a}));
        QVERIFY(!context().hasChanges());
        sidebar.refresh();
        QCOMPARE(sidebar.indexForFilter(SidebarFilter::collection("Work")).data(ItemRoles::BadgeCountRole).toInt(), 2);
        // The list keeps its rows: a drop adds, it does not move.
        QCOMPARE(list.rowCount(), 2);
    }

    void aCollectionIsRenamedUnderTheSameRulesAndGetsANewIcon()
    {
        SkillCollection *work = addCollection("Work", "hammer");
        addCollection("Archive", "archivebox");
        m_state->setSidebarFilter(SidebarFilter::collection("Work"));
        SidebarView sidebar(*m_state, context());
        sidebar.show();
        QObject owner;
        const QList<QAction *> actions = sidebar.collectionActions(work, &owner);
        QStringList texts;
        for (QAction *action : actions)
            texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        QCOMPARE(texts, (QStringList{"Rename…", "Change Icon", "-", "Delete"}));

        named(actions, "renameCollection")->trigger();
        NewCollectionPopover *popover = sidebar.editCollectionPopover();
        QTRY_VERIFY(popover->isVisible());
        QCOMPARE(popover->name(), QStringLiteral("Work"));
        QCOMPARE(popover->icon(), QStringLiteral("hammer"));
        QCOMPARE(popover->findChild<QPushButton *>("create")->text(), QStringLiteral("Save"));

        popover->findChild<QLineEdit *>()->setText("Archive");
        popover->findChild<QPushButton *>("create")->click();
        QCOMPARE(popover->errorText(), QStringLiteral("A collection named \"Archive\" already exists."));
        QCOMPARE(work->name(), QStringLiteral("Work"));

        popover->findChild<QLineEdit *>()->setText("   ");
        QVERIFY(!popover->findChild<QPushButton *>("create")->isEnabled());

        popover->findChild<QLineEdit *>()->setText(" Client\nwork ");
        popover->findChild<QToolButton *>("leaf")->click();
        popover->findChild<QPushButton *>("create")->click();
        QVERIFY(!popover->isVisible());
        QCOMPARE(work->name(), QStringLiteral("Client work"));
        QCOMPARE(work->icon(), QStringLiteral("leaf"));
        QVERIFY(!context().hasChanges());
        QCOMPARE(m_state->sidebarFilter(), SidebarFilter::collection("Client work"));

        // The icon menu marks the current icon and changes only the icon.
        QAction *changeIcon = named(sidebar.collectionActions(work, &owner), "changeCollectionIcon");
        QVERIFY(changeIcon && changeIcon->menu());
        QCOMPARE(changeIcon->menu()->actions().size(), availableCollectionIcons().size());
        QVERIFY(menuItem(changeIcon, "leaf")->isChecked());
        menuItem(changeIcon, "globe")->trigger();
        QCOMPARE(work->icon(), QStringLiteral("globe"));
        QCOMPARE(work->name(), QStringLiteral("Client work"));
        QVERIFY(!context().hasChanges());
    }

    void deletingAsksFirstAndTheFilterFallsBackToAllSkills()
    {
        Skill *skill = addSkill("review");
        SkillCollection *work = addCollection("Work");
        work->addSkill(skill);
        context().save();
        m_state->setSidebarFilter(SidebarFilter::collection("Work"));
        QWidget window;
        auto *sidebar = new SidebarView(*m_state, context(), &window);
        window.show();
        QObject owner;
        deleteCollection(context(), *addCollection("Later")); // another one: the filter stays
        QCOMPARE(m_state->sidebarFilter(), SidebarFilter::collection("Work"));

        named(sidebar->collectionActions(work, &owner), "deleteCollection")->trigger();
        QMessageBox *question = sidebar->deleteConfirmation();
        QTRY_VERIFY(question && question->isVisible());
        QCOMPARE(question->text(), QStringLiteral("Delete “Work”? Its skills stay in your library."));
        question->button(QMessageBox::Cancel)->click();
        QVERIFY(context().collectionNamed("Work"));
        QCOMPARE(m_state->sidebarFilter(), SidebarFilter::collection("Work"));

        sidebar->confirmDeleteCollection(work);
        QTRY_VERIFY(sidebar->deleteConfirmation() && sidebar->deleteConfirmation()->isVisible());
        sidebar->deleteConfirmation()->findChild<QPushButton *>("confirmDelete")->click();
        QVERIFY(!context().collectionNamed("Work"));
        QVERIFY(!context().hasChanges());
        QCOMPARE(m_state->sidebarFilter(), SidebarFilter::all());
        QVERIFY(context().skillWithResolvedPath(skill->resolvedPath()));
        QVERIFY(skill->collections().isEmpty());
    }

    // Names typed or pasted are trimmed before they are compared with the others.
    void createCollectionTrimsTheNameAndRefusesDuplicates_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("error");
        QTest::newRow("spaces at either end go") << "  Reading  " << "Reading" << "";
        QTest::newRow("pasted line breaks become spaces") << "Client\r\nwork\n" << "Client work" << "";
        QTest::newRow("inner spaces stay") << "A  B" << "A  B" << "";
        QTest::newRow("a trimmed duplicate is refused")
            << " Work " << "" << "A collection named \"Work\" already exists.";
        QTest::newRow("spaces alone are no name") << " \t " << "" << "A collection needs a name.";
    }

    void createCollectionTrimsTheNameAndRefusesDuplicates()
    {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(QString, error);
        addCollection("Work");
        QString message;
        SkillCollection *made = createCollection(context(), typed, "folder", &message);
        QCOMPARE(made ? made->name() : QString(), kept);
        QCOMPARE(message, error);
        QCOMPARE(context().collections().size(), kept.isEmpty() ? 1 : 2);
    }
};

VESK_TEST_MAIN(TestCollections)
#include "tst_collections.moc"
