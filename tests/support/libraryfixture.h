#pragma once

// A library of one test's own: a fresh home folder that HOME points at while the
// fixture lives, no custom scan directories, a store inside that home and an
// artifact cache. Made in init() and dropped in cleanup(), it gives every test a
// library nothing else has touched.

#include "library/records/artifactcache.h"
#include "library/store/modelcontainer.h"
#include "library/store/modelcontext.h"
#include "library/catalogue/settingskeys.h"
#include "library/records/skill.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include <memory>

class LibraryFixture final
{
public:
    LibraryFixture()
        : m_previousHome(qgetenv("HOME"))
    {
        qputenv("HOME", QFile::encodeName(m_home.path()));
        setCustomScanPaths({});
        openStore();
    }

    ~LibraryFixture()
    {
        m_container.reset();
        QSettings().remove(QLatin1String(SettingsKeys::customScanPaths));
        qputenv("HOME", m_previousHome);
    }

    LibraryFixture(const LibraryFixture &) = delete;
    LibraryFixture &operator=(const LibraryFixture &) = delete;

    // A path below the home folder; the folder itself for an empty one.
    QString home(const QString &relative = QString()) const
    {
        return relative.isEmpty() ? m_home.path() : m_home.path() + u'/' + relative;
    }
    QString storePath() const { return home(QStringLiteral("store/vesk.sqlite")); }

    // Closes the store and opens it again, as a new process would find it; whatever
    // holds records of the old context must be gone first.
    void openStore()
    {
        m_container.reset();
        QString error;
        m_container = ModelContainer::open(storePath(), &error);
        QVERIFY2(m_container, qPrintable(error));
    }

    ModelContainer &container() const { return *m_container; }
    ModelContext &context() const { return *m_container->mainContext(); }
    ArtifactCache &artifacts() { return m_artifacts; }

    // The names of the records, in the context's order.
    QStringList names() const
    {
        QStringList list;
        for (const Skill *skill : context().skills())
            list.append(skill->name());
        return list;
    }

    Skill *named(const QString &name) const
    {
        for (Skill *skill : context().skills()) {
            if (skill->name() == name)
                return skill;
        }
        return nullptr;
    }

    static void setCustomScanPaths(const QStringList &paths)
    {
        QSettings().setValue(QLatin1String(SettingsKeys::customScanPaths), paths);
    }

private:
    QByteArray m_previousHome;
    QTemporaryDir m_home;
    std::unique_ptr<ModelContainer> m_container;
    ArtifactCache m_artifacts;
};
