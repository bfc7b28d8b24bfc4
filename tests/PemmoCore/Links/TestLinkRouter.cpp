// The addresses a card opens, checked case by case against the rules users rely on: what is
// accepted as a web link, which site a link belongs to, and how handles, numbers and mail become
// addresses.
#include "Links/LinkRouter.h"

#include <QTest>

using namespace pemmo;

Q_DECLARE_METATYPE(QuickLink::Kind)
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

const std::optional<QString> none = std::nullopt;
std::optional<QString> some(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

class TestLinkRouter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void normalizedURL_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::newRow("no scheme gets https") << u"example.org/anna"_qs << some("https://example.org/anna");
        QTest::newRow("trimmed") << u"  \n https://example.org \t"_qs << some("https://example.org");
        QTest::newRow("other scheme kept") << u"http://example.org"_qs << some("http://example.org");
        QTest::newRow("space inside") << u"example.org/a b"_qs << none;
        QTest::newRow("blank") << u"   "_qs << none;
        QTest::newRow("no host") << u"https://"_qs << none;
        QTest::newRow("port that is not a number") << u"example.org:abc"_qs << none;
    }
    void normalizedURL() {
        QFETCH(QString, typed);
        QFETCH(std::optional<QString>, expected);
        QCOMPARE(LinkRouter::normalizedURL(typed), expected);
        // A plain web link goes through the same rules.
        QCOMPARE(LinkRouter::webURL(typed), expected);
    }

    void kindAndTitle_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<std::optional<QString>>("named");
        QTest::addColumn<QuickLink::Kind>("kind");
        QTest::addColumn<QString>("title");
        QTest::newRow("photo site with www")
            << u"https://www.instagram.com/anna"_qs << none << QuickLink::Kind::Instagram << u"Instagram"_qs;
        QTest::newRow("photo site, no scheme, upper case")
            << u"Instagram.COM/anna"_qs << none << QuickLink::Kind::Instagram << u"Instagram"_qs;
        QTest::newRow("network sub-host")
            << u"https://de.linkedin.com/in/anna"_qs << none << QuickLink::Kind::LinkedIn << u"LinkedIn"_qs;
        QTest::newRow("short-message site") << u"x.com/anna"_qs << none << QuickLink::Kind::X << u"X"_qs;
        QTest::newRow("old host's sub-host")
            << u"https://mobile.twitter.com/anna"_qs << none << QuickLink::Kind::X << u"X"_qs;
        QTest::newRow("look-alike host is custom") << u"https://notinstagram.com/anna"_qs << none
                                                   << QuickLink::Kind::Custom << u"Notinstagram.com"_qs;
        QTest::newRow("other host") << u"www.example.org/anna"_qs << none << QuickLink::Kind::Custom
                                    << u"Example.org"_qs;
        QTest::newRow("host beyond ASCII titled as written")
            << u"bücher.example/straße"_qs << none << QuickLink::Kind::Custom << u"Bücher.example"_qs;
        QTest::newRow("host typed in its ASCII form titled in letters")
            << u"https://www.xn--mnchen-3ya.example/"_qs << none << QuickLink::Kind::Custom
            << u"München.example"_qs;
        QTest::newRow("named IG wins over the host") << u"https://example.org/anna"_qs << some(" IG ")
                                                     << QuickLink::Kind::Instagram << u"Instagram"_qs;
        QTest::newRow("named twitter")
            << u"https://example.org"_qs << some("Twitter") << QuickLink::Kind::X << u"X"_qs;
        QTest::newRow("named by domain") << u"https://example.org"_qs << some("linkedin.com")
                                         << QuickLink::Kind::LinkedIn << u"LinkedIn"_qs;
        QTest::newRow("unknown name falls back to the host")
            << u"x.com/anna"_qs << some("website") << QuickLink::Kind::X << u"X"_qs;
        QTest::newRow("unreadable address titled as typed")
            << u"not a link"_qs << none << QuickLink::Kind::Custom << u"not a link"_qs;
    }
    void kindAndTitle() {
        QFETCH(QString, url);
        QFETCH(std::optional<QString>, named);
        QFETCH(QuickLink::Kind, kind);
        QFETCH(QString, title);
        QCOMPARE(LinkRouter::kind(url, named), kind);
        QCOMPARE(LinkRouter::defaultTitle(kind, url), title);
    }

    void messagesURL_data() {
        QTest::addColumn<QString>("handle");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::newRow("ASCII punctuation and spaces encoded, ends trimmed")
            << u" +49 170 anna.b@example-org~c_d "_qs
            << some("imessage://%2B49%20170%20anna%2Eb%40example%2Dorg%7Ec%5Fd");
        // Letters and digits of every script stay, marks with their letter; the rest is UTF-8.
        QTest::newRow("letters beyond ASCII stay") << u"Zoë"_qs << some("imessage://Zoë");
        QTest::newRow("a letter and its mark stay") << u"Zoe\u0308"_qs << some("imessage://Zoe\u0308");
        QTest::newRow("other scripts stay, their punctuation does not")
            << u"山田・太郎٣"_qs << some("imessage://山田%E3%83%BB太郎٣");
        QTest::newRow("a symbol beyond the basic plane") << u"a😀"_qs << some("imessage://a%F0%9F%98%80");
        QTest::newRow("blank") << u" \n"_qs << none;
    }
    void messagesURL() {
        QFETCH(QString, handle);
        QFETCH(std::optional<QString>, expected);
        QCOMPARE(LinkRouter::messagesURL(handle), expected);
    }

    void callURL_data() {
        QTest::addColumn<QString>("phone");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::newRow("plus, spaces, brackets, dashes")
            << u"+49 (170) 123-4567"_qs << some("tel://+491701234567");
        QTest::newRow("letters first keep only digits") << u"tel. 030 1234"_qs << some("tel://0301234");
        QTest::newRow("a later plus is dropped") << u"0049+170"_qs << some("tel://0049170");
        QTest::newRow("no digit") << u"ask Anna"_qs << none;
        QTest::newRow("a plus alone") << u"+"_qs << none;
        // Japanese address books often write numbers in full-width forms, Arabic and Persian ones
        // in their own digits: a phone dials ASCII digits.
        QTest::newRow("full-width digits, plus and dashes")
            << u"＋８１ ３－１２３４－５６７８"_qs << some("tel://+81312345678");
        QTest::newRow("Arabic-Indic digits") << u"٠١٢٣ ٤٥٦"_qs << some("tel://0123456");
        QTest::newRow("empty") << QString() << none;
    }
    void callURL() {
        QFETCH(QString, phone);
        QFETCH(std::optional<QString>, expected);
        QCOMPARE(LinkRouter::callURL(phone), expected);
    }

    void mailURL_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("subject");
        QTest::addColumn<QString>("body");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::newRow("address only")
            << u" anna@example.org "_qs << QString() << QString() << some("mailto:anna@example.org");
        QTest::newRow("empty subject, body with ampersand")
            << u"anna@example.org"_qs << QString() << u"Tom & Jerry"_qs
            << some("mailto:anna@example.org?body=Tom%20%26%20Jerry");
        QTest::newRow("both items, query characters encoded")
            << u"anna@example.org"_qs << u"1+1=2?"_qs << u"a/b:c"_qs
            << some("mailto:anna@example.org?subject=1%2B1%3D2%3F&body=a/b:c");
        QTest::newRow("blank address") << u"  "_qs << u"Hi"_qs << QString() << none;
    }
    void mailURL() {
        QFETCH(QString, address);
        QFETCH(QString, subject);
        QFETCH(QString, body);
        QFETCH(std::optional<QString>, expected);
        QCOMPARE(LinkRouter::mailURL(address, subject, body), expected);
    }

    void gmailURL_data() {
        QTest::addColumn<QString>("templateText");
        QTest::addColumn<QString>("address");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::newRow("default template")
            << LinkRouter::defaultGmailTemplate() << u"anna@example.org"_qs
            << some("https://mail.google.com/mail/?view=cm&to=anna@example.org");
        QTest::newRow("every placeholder, no scheme")
            << u"mail.example.org/new?to={email}&cc={email}"_qs << u"a@b.c"_qs
            << some("https://mail.example.org/new?to=a@b.c&cc=a@b.c");
        QTest::newRow("a space from the address refuses it")
            << LinkRouter::defaultGmailTemplate() << u"anna @example.org"_qs << none;
    }
    void gmailURL() {
        QFETCH(QString, templateText);
        QFETCH(QString, address);
        QFETCH(std::optional<QString>, expected);
        QCOMPARE(LinkRouter::gmailURL(templateText, address), expected);
    }

    void theDefaultFindMyAddressIsAWebLink() { QVERIFY(LinkRouter::webURL(LinkRouter::defaultFindMyURL())); }
};

QTEST_GUILESS_MAIN(TestLinkRouter)
#include "TestLinkRouter.moc"
