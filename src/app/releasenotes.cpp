#include "app/releasenotes.h"

#include "library/files/skillfile.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTextDocument>

#include <initializer_list>

namespace {

// Only this much of the feed's text is looked at; the rest cannot fit anyway.
constexpr qsizetype maxSourceLength = 256 * 1024;

QString decodeEntity(QStringView entity)
{
    if (entity == u"amp")
        return QStringLiteral("&");
    if (entity == u"lt")
        return QStringLiteral("<");
    if (entity == u"gt")
        return QStringLiteral(">");
    if (entity == u"quot")
        return QStringLiteral("\"");
    if (entity == u"apos")
        return QStringLiteral("'");
    if (entity == u"nbsp")
        return QStringLiteral(" ");
    if (entity.startsWith(u'#')) {
        bool ok = false;
        const uint code = entity.size() > 1 && (entity[1] == u'x' || entity[1] == u'X')
                              ? entity.sliced(2).toUInt(&ok, 16)
                              : entity.sliced(1).toUInt(&ok, 10);
        // Control characters other than line breaks and tabs stay out of the text.
        if (ok && code <= 0x10FFFF && (code >= 0x20 || code == '\n' || code == '\t')
            && !(code >= 0xD800 && code <= 0xDFFF) && code != 0x7F)
            return QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1);
    }
    return QLatin1Char('&') + entity.toString() + QLatin1Char(';');
}

QString decodeEntities(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            const qsizetype end = text.indexOf(u';', i + 1);
            if (end > i + 1 && end - i <= 10) {
                out += decodeEntity(text.sliced(i + 1, end - i - 1));
                i = end;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

QString attribute(QStringView tag, QLatin1String name)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"re((?:^|\s)([a-zA-Z-]+)\s*=\s*(?:"([^"]*)"|'([^']*)'|([^\s"'>]+)))re"));
    auto it = pattern.globalMatch(tag.toString());
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        if (match.captured(1).compare(name, Qt::CaseInsensitive) == 0) {
            for (int group = 2; group <= 4; ++group) {
                if (match.hasCaptured(group))
                    return match.captured(group).trimmed();
            }
        }
    }
    return {};
}

bool isOneOf(QStringView name, std::initializer_list<const char16_t *> names)
{
    for (const char16_t *candidate : names) {
        if (name.compare(QStringView(candidate), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Tags that end a paragraph leave a blank line; those that end a line, a line break.
bool endsParagraph(QStringView name)
{
    return isOneOf(name, {u"p", u"ul", u"ol", u"h1", u"h2", u"h3", u"h4", u"h5", u"h6", u"table", u"pre",
                          u"blockquote"});
}

bool endsLine(QStringView name)
{
    return isOneOf(name, {u"br", u"li", u"div", u"tr", u"hr", u"dt", u"dd"});
}

// Collapses the whitespace of HTML text the way a browser would, keeping the
// breaks the tags stood for (U+2029 a paragraph's, U+2028 a line's, until now).
QString collapseWhitespace(const QString &text)
{
    QString out;
    out.reserve(text.size());
    bool space = false;
    for (const QChar c : text) {
        if (c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
            while (out.endsWith(u' '))
                out.chop(1);
            if (!out.isEmpty() && !out.endsWith(u'\n'))
                out += u'\n';
            if (c == QChar::ParagraphSeparator && !out.isEmpty() && !out.endsWith(QStringLiteral("\n\n")))
                out += u'\n';
            space = false;
        } else if (c.isSpace()) {
            space = true;
        } else {
            if (space && !out.isEmpty() && !out.endsWith(u'\n'))
                out += u' ';
            space = false;
            out += c;
        }
    }
    return out;
}

// Entities are decoded once, after the tags are gone, so "&lt;b&gt;" stays
// the text "<b>".
QString fromHtml(QStringView html)
{
    QString text;
    text.reserve(html.size());
    QString pendingLink;
    QString skipping; // inside <script> or <style>: nothing shown
    for (qsizetype i = 0; i < html.size(); ++i) {
        const QChar c = html[i];
        if (c != u'<') {
            if (skipping.isEmpty())
                text += c;
            continue;
        }
        if (html.sliced(i).startsWith(u"<!--")) {
            const qsizetype end = html.indexOf(u"-->", i + 4);
            i = end < 0 ? html.size() : end + 2;
            continue;
        }
        const qsizetype end = html.indexOf(u'>', i + 1);
        if (end < 0)
            break; // an unfinished tag at the end is dropped
        const QStringView tag = html.sliced(i + 1, end - i - 1).trimmed();
        i = end;
        const bool closing = tag.startsWith(u'/');
        const QStringView body = closing ? tag.sliced(1) : tag;
        qsizetype nameEnd = 0;
        while (nameEnd < body.size() && (body[nameEnd].isLetterOrNumber()))
            ++nameEnd;
        const QStringView name = body.first(nameEnd);
        if (!skipping.isEmpty()) {
            if (closing && name.compare(skipping, Qt::CaseInsensitive) == 0) {
                skipping.clear();
            }
            continue;
        }
        if (!closing && (name.compare(u"script", Qt::CaseInsensitive) == 0
                         || name.compare(u"style", Qt::CaseInsensitive) == 0)) {
            skipping = name.toString();
            continue;
        }
        if (name.compare(u"a", Qt::CaseInsensitive) == 0) {
            if (!closing) {
                pendingLink = attribute(body.sliced(nameEnd), QLatin1String("href"));
            } else if (!pendingLink.isEmpty()) {
                text += QStringLiteral(" <") + pendingLink + u'>';
                pendingLink.clear();
            }
            continue;
        }
        if (endsParagraph(name)) {
            text += QChar::ParagraphSeparator;
        } else if (endsLine(name)) {
            text += QChar::LineSeparator;
            if (!closing && name.compare(u"li", Qt::CaseInsensitive) == 0)
                text += QStringLiteral("• ");
        } else if (!closing && name.compare(u"img", Qt::CaseInsensitive) == 0) {
            // Never loaded; its description, if any, stands in for it.
            const QString alt = attribute(body.sliced(nameEnd), QLatin1String("alt"));
            if (!alt.isEmpty())
                text += QLatin1Char('[') + alt + QLatin1Char(']');
        }
    }
    return collapseWhitespace(decodeEntities(text)).trimmed();
}

// Control characters other than line breaks and tabs are not shown.
QString withoutControls(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (QChar &c : text) {
        if (c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u'\n';
        else if ((c.unicode() < 0x20 && c != u'\n' && c != u'\t') || c.unicode() == 0x7F)
            c = QChar::ReplacementCharacter;
    }
    return text;
}

} // namespace

QString releaseNotesText(const QString &notes)
{
    QString text = notes.left(maxSourceLength);
    text = Qt::mightBeRichText(text) || text.contains(QLatin1String("</")) ? fromHtml(text) : text.trimmed();
    text = cutLongLines(withoutControls(text), maxReleaseNotesLineLength);
    if (text.size() > maxReleaseNotesLength) {
        qsizetype keep = maxReleaseNotesLength;
        if (text[keep - 1].isHighSurrogate())
            --keep;
        text.truncate(keep);
        text += QLatin1Char('\n') + QCoreApplication::translate("ReleaseNotes", "(The release notes go on.)");
    }
    return text;
}
