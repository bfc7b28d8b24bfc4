// The tray icon's tooltip reads the problem as written, whoever draws it: a StatusNotifierItem host
// takes it as plain text, Qt's own tooltip would lay out anything that looks like markup.
#include "Shell/TrayIcon.h"

#include <QTest>
#include <QTextDocument>

using namespace pemmo;

class TestTrayIcon : public QObject {
    Q_OBJECT

    // The words a tooltip Qt draws puts on the screen.
    static QString drawnByQt(const QString& toolTip) {
        if (!Qt::mightBeRichText(toolTip))
            return toolTip;
        QTextDocument document;
        document.setHtml(toolTip);
        return document.toPlainText();
    }

private Q_SLOTS:
    void aProblemIsShownAsWritten_data() {
        QTest::addColumn<bool>("desktopShowsTexts");
        QTest::addColumn<QString>("problem");
        const QString markup =
            u"Pemmo can't save changes: its data file couldn't be read (/home/a/<b>x</b> & "
            u"<img src=\"/usr/share/pixmaps/debian-logo.png\">). Nothing has been changed."_qs;
        QTest::newRow("markup, Qt draws the tooltip") << false << markup;
        QTest::newRow("markup, the desktop draws it") << true << markup;
        QTest::newRow("plain words") << false << u"This store was written by a newer Pemmo."_qs;
        QTest::newRow("no problem") << false << QString();
    }
    void aProblemIsShownAsWritten() {
        QFETCH(bool, desktopShowsTexts);
        QFETCH(QString, problem);
        TrayIcon tray(nullptr, [desktopShowsTexts] { return desktopShowsTexts; });
        tray.setProblem(problem);
        const QString words = problem.isEmpty() ? u"Pemmo"_qs : u"Pemmo \u2014 "_qs + problem;
        QCOMPARE(tray.toolTip(), words);
        const QString handed = tray.icon()->toolTip();
        QCOMPARE(desktopShowsTexts ? handed : drawnByQt(handed), words);
    }
};

QTEST_MAIN(TestTrayIcon)
#include "TestTrayIcon.moc"
