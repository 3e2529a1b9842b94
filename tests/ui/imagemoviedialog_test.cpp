// The image size and movie frames dialog: which entries it accepts, in which
// order it checks them, and the exact messages it gives.
#include "imagemoviedialog.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>

class DialogImageMovieTest : public QObject {
    Q_OBJECT
  private slots:
    void entries_data();
    void entries();
    void cancelKeepsValues();
    void startsWithCurrentValues();
};

void DialogImageMovieTest::entries_data() {
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("frames");
    QTest::addColumn<QString>("message");  // empty: accepted
    QTest::addColumn<int>("wantWidth");
    QTest::addColumn<int>("wantFrames");
    const QString range1 = "Frames must be an integer between 10 and 1000.";
    const QString range2 = "Width must be an integer between 50 and 1600.";
    const QString integer = "Frames must be an integer.";
    const QString widthInteger = "Width must be an integer.";
    QTest::newRow("typical") << "800"
                             << "200"
                             << "" << 800 << 200;
    QTest::newRow("lower bounds") << "50"
                                  << "10"
                                  << "" << 50 << 10;
    QTest::newRow("upper bounds") << "1600"
                                  << "1000"
                                  << "" << 1600 << 1000;
    QTest::newRow("blanks around") << " 640 "
                                   << " 100"
                                   << "" << 640 << 100;
    QTest::newRow("frames too few") << "800"
                                    << "9" << range1 << 0 << 0;
    QTest::newRow("frames too many") << "800"
                                     << "1001" << range1 << 0 << 0;
    QTest::newRow("width too small") << "49"
                                     << "100" << range2 << 0 << 0;
    QTest::newRow("width too large") << "1601"
                                     << "100" << range2 << 0 << 0;
    QTest::newRow("frames checked first") << "5"
                                          << "5" << range1 << 0 << 0;
    QTest::newRow("frames not a number") << "800"
                                         << "many" << integer << 0 << 0;
    QTest::newRow("width a fraction") << "640.5"
                                      << "100" << widthInteger << 0 << 0;
    QTest::newRow("empty") << ""
                           << "100" << widthInteger << 0 << 0;
    QTest::newRow("beyond 32 bits") << "800"
                                    << "99999999999" << range1 << 0 << 0;
    QTest::newRow("negative") << "-800"
                              << "100" << range2 << 0 << 0;
}

void DialogImageMovieTest::entries() {
    QFETCH(QString, width);
    QFETCH(QString, frames);
    QFETCH(QString, message);
    QFETCH(int, wantWidth);
    QFETCH(int, wantFrames);
    ImageMovieDialog d(640, 100);
    d.setShowMessages(false);
    QSignalSpy rejected(&d, &ImageMovieDialog::rejectedEntry);
    d.widthEdit()->setText(width);
    d.framesEdit()->setText(frames);
    d.accept();
    if (message.isEmpty()) {
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(rejected.count(), 0);
        QCOMPARE(d.imageWidth(), wantWidth);
        QCOMPARE(d.movieFrames(), wantFrames);
    } else {
        QCOMPARE(d.result(), int(QDialog::Rejected));  // still open, not accepted
        QCOMPARE(rejected.count(), 1);
        QCOMPARE(rejected.at(0).at(0).toString(), message);
        // The values the document would take stay as they were.
        QCOMPARE(d.imageWidth(), 640);
        QCOMPARE(d.movieFrames(), 100);
    }
}

void DialogImageMovieTest::cancelKeepsValues() {
    ImageMovieDialog d(640, 100);
    d.widthEdit()->setText("900");
    d.framesEdit()->setText("300");
    d.reject();
    QCOMPARE(d.imageWidth(), 640);
    QCOMPARE(d.movieFrames(), 100);
}

void DialogImageMovieTest::startsWithCurrentValues() {
    ImageMovieDialog d(777, 123);
    QCOMPARE(d.widthEdit()->text(), QString("777"));
    QCOMPARE(d.framesEdit()->text(), QString("123"));
    QCOMPARE(d.windowTitle(), QString(" Set image size and movie frames"));
}

QTEST_MAIN(DialogImageMovieTest)
#include "imagemoviedialog_test.moc"
