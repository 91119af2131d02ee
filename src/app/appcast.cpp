#include "app/appcast.h"

#include "app/versioncomparison.h"

#include <QCoreApplication>
#include <QXmlStreamReader>

namespace {

const QString sparkleNamespace = QStringLiteral("http://www.andymatuschak.org/xml-namespaces/sparkle");

// Links from a feed end up in the browser, so only web addresses are taken,
// and only secure ones: a download page reached over plain http could be
// swapped for another on the way.
QUrl webUrl(const QString &text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.scheme().toLower() != QLatin1String("https"))
        return {};
    return url;
}

bool isSparkle(const QXmlStreamReader &xml, QLatin1String name)
{
    return xml.namespaceUri() == sparkleNamespace && xml.name() == name;
}

AppcastItem readItem(QXmlStreamReader &xml)
{
    AppcastItem item;
    QUrl enclosureUrl;
    QUrl link;
    while (xml.readNextStartElement()) {
        const bool plain = xml.namespaceUri().isEmpty();
        if (plain && xml.name() == QLatin1String("title")) {
            item.title = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (plain && xml.name() == QLatin1String("link")) {
            link = webUrl(xml.readElementText());
        } else if (plain && xml.name() == QLatin1String("description")) {
            item.releaseNotes = xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        } else if (isSparkle(xml, QLatin1String("version"))) {
            item.version = xml.readElementText().trimmed();
        } else if (isSparkle(xml, QLatin1String("shortVersionString"))) {
            item.shortVersion = xml.readElementText().trimmed();
        } else if (isSparkle(xml, QLatin1String("releaseNotesLink"))) {
            item.releaseNotesUrl = webUrl(xml.readElementText());
        } else if (plain && xml.name() == QLatin1String("enclosure")) {
            // Older feeds carry the versions as attributes of the enclosure.
            const QXmlStreamAttributes attributes = xml.attributes();
            enclosureUrl = webUrl(attributes.value(QLatin1String("url")).toString());
            if (item.version.isEmpty())
                item.version = attributes.value(sparkleNamespace, QLatin1String("version")).trimmed().toString();
            if (item.shortVersion.isEmpty())
                item.shortVersion =
                    attributes.value(sparkleNamespace, QLatin1String("shortVersionString")).trimmed().toString();
            xml.skipCurrentElement();
        } else {
            xml.skipCurrentElement();
        }
    }
    item.downloadUrl = link.isValid() ? link : enclosureUrl;
    return item;
}

} // namespace

Appcast parseAppcast(const QByteArray &bytes)
{
    Appcast feed;
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("rss")) {
        feed.error = xml.hasError() ? QString() : QCoreApplication::translate("Appcast", "The update feed is not an RSS feed.");
    } else {
        while (xml.readNextStartElement()) {
            if (xml.name() != QLatin1String("channel")) {
                xml.skipCurrentElement();
                continue;
            }
            while (xml.readNextStartElement()) {
                if (xml.name() != QLatin1String("item")) {
                    xml.skipCurrentElement();
                    continue;
                }
                AppcastItem item = readItem(xml);
                if (!item.version.isEmpty() || !item.shortVersion.isEmpty())
                    feed.items.append(item);
            }
        }
    }
    if (xml.hasError()) {
        feed.items.clear();
        feed.error = QCoreApplication::translate("Appcast", "The update feed is damaged (line %1: %2).").arg(xml.lineNumber()).arg(xml.errorString());
    } else if (feed.error.isEmpty() && feed.items.isEmpty()) {
        feed.error = QCoreApplication::translate("Appcast", "The update feed lists no versions.");
    }
    return feed;
}

int compareToInstalled(const AppcastItem &item, const QString &installedVersion, const QString &installedBuild)
{
    const int byVersion = compareVersions(item.displayVersion(), installedVersion);
    // A build number only means something next to a version people see.
    if (byVersion != 0 || item.shortVersion.isEmpty() || item.version.isEmpty() || installedBuild.isEmpty())
        return byVersion;
    return compareVersions(item.version, installedBuild);
}

const AppcastItem &newestItem(const QList<AppcastItem> &items)
{
    Q_ASSERT(!items.isEmpty());
    qsizetype newest = 0;
    for (qsizetype i = 1; i < items.size(); ++i) {
        const AppcastItem &newestSoFar = items.at(newest);
        if (compareToInstalled(items.at(i), newestSoFar.displayVersion(),
                               newestSoFar.shortVersion.isEmpty() ? QString() : newestSoFar.version) > 0)
            newest = i;
    }
    return items.at(newest);
}
