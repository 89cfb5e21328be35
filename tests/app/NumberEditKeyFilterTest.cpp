// The key filter of the number edits: which typed characters pass, and the
// filter at work on an edit.
#include <QLineEdit>
#include <QTest>

#include "app/NumberEditKeyFilter.h"

using korvana::app::NumberEditKeyFilter;
using Sign = NumberEditKeyFilter::Sign;

class NumberEditKeyFilterTest : public QObject {
  Q_OBJECT

 private slots:
  void passes_data();
  void passes();
  void filtersTheKeysTypedIntoAnEdit();
};

void NumberEditKeyFilterTest::passes_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<bool>("unsignedPasses");
  QTest::addColumn<bool>("signedPasses");
  QTest::newRow("digit") << "7" << true << true;
  QTest::newRow("zero") << "0" << true << true;
  QTest::newRow("minus") << "-" << false << true;
  QTest::newRow("plus") << "+" << false << false;
  QTest::newRow("letter") << "e" << false << false;
  QTest::newRow("blank") << " " << false << false;
  QTest::newRow("point") << "." << false << false;
  QTest::newRow("two characters at once") << "12" << false << false;
  QTest::newRow("a digit of another script") << QString(QChar(0x0663)) << false << false;
  // Keys that type no character are the edit's own business.
  QTest::newRow("arrow or Delete") << "" << true << true;
  QTest::newRow("backspace") << "\b" << true << true;
  QTest::newRow("tab") << "\t" << true << true;
  QTest::newRow("escape") << "\x1b" << true << true;
  QTest::newRow("Ctrl+A") << "\x01" << true << true;
}

void NumberEditKeyFilterTest::passes() {
  QFETCH(QString, typed);
  QFETCH(bool, unsignedPasses);
  QFETCH(bool, signedPasses);
  QCOMPARE(NumberEditKeyFilter::passes(typed, Sign::none), unsignedPasses);
  QCOMPARE(NumberEditKeyFilter::passes(typed, Sign::minusAllowed), signedPasses);
}

void NumberEditKeyFilterTest::filtersTheKeysTypedIntoAnEdit() {
  QLineEdit count;
  QLineEdit seed;
  NumberEditKeyFilter::install(&count, Sign::none);
  NumberEditKeyFilter::install(&seed, Sign::minusAllowed);
  QVERIFY(count.findChild<NumberEditKeyFilter*>() != nullptr);
  QTest::keyClicks(&count, "-1x2 3");
  QTest::keyClicks(&seed, "-1x2 3");
  QCOMPARE(count.text(), QString("123"));
  QCOMPARE(seed.text(), QString("-123"));
  QTest::keyClick(&seed, Qt::Key_Backspace);
  QTest::keyClick(&seed, Qt::Key_Home);
  QTest::keyClick(&seed, Qt::Key_Delete);
  QCOMPARE(seed.text(), QString("12"));
  // Text set by the program is not filtered; the edit is read later.
  count.setText("abc");
  QCOMPARE(count.text(), QString("abc"));
}

QTEST_MAIN(NumberEditKeyFilterTest)
#include "NumberEditKeyFilterTest.moc"
