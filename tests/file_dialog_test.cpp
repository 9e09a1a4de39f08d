// Qt's own file dialog as the program shows it: every column wide enough for what it says, and
// sizes, kinds and dates in Chinese whatever the system's language.

#include "platform/file_dialog.h"

#include <QAbstractProxyModel>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

using namespace ravik;
using namespace Qt::StringLiterals;

class FileDialogTest : public QObject {
    Q_OBJECT

private slots:
    void detailsFitAndAreChinese_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<QString>("kind");
        QTest::newRow("a frame file") << u"logo.bin"_s << 9849 << u"BIN 文件"_s;
        QTest::newRow("a picture") << u"照片.jpeg"_s << 295 << u"JPEG 文件"_s;
        QTest::newRow("no suffix") << u"README"_s << 12 << u"文件"_s;
    }
    void detailsFitAndAreChinese() {
        QFETCH(QString, name);
        QFETCH(int, bytes);
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(bytes, 'x'));
        file.close();
        // Dated once written: closing a file just written dates it anew.
        QVERIFY(file.open(QIODevice::Append));
        const QDateTime modified(QDate(2025, 3, 4), QTime(15, 7));
        QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
        file.close();

        const auto dialog = makeFileDialog(FileDialog::Mode::Save, nullptr, dir.path(),
                                           {u"*.bin"_s, u"所有文件 (*)"_s});
        dialog->setOption(QFileDialog::DontUseNativeDialog); // Qt's own, wherever this runs
        dialog->setNameFilter(u"所有文件 (*)"_s);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        auto* view = dialog->findChild<QTreeView*>(u"treeView"_s);
        QVERIFY(view != nullptr);
        QAbstractItemModel* model = view->model();
        QModelIndex row;
        QTRY_VERIFY_WITH_TIMEOUT((row = model->index(0, 0, view->rootIndex()),
                                  row.isValid() && row.data().toString() == name),
                                 10000);
        const QString size = row.siblingAtColumn(1).data().toString();
        const QString shownKind = row.siblingAtColumn(2).data().toString();
        const QString date = row.siblingAtColumn(3).data().toString();
        QCOMPARE(shownKind, kind);
        // The date in Chinese: 24-hour time and no English words.
        QVERIFY2(date.contains(u"2025"_s) && date.contains(u"15:07"_s), qPrintable(date));
        QVERIFY2(!date.contains(u"PM"_s) && !date.contains(u"Mar"_s), qPrintable(date));
        QVERIFY2(!size.contains(u"bytes"_s) && !size.isEmpty(), qPrintable(size));
        // Nothing cut: each column is wider than its text.
        QHeaderView* header = view->header();
        const QFontMetrics metrics = view->fontMetrics();
        const QString texts[] = {name, size, shownKind, date};
        for (int column = 0; column < 4; ++column) {
            const int needed = metrics.horizontalAdvance(texts[column]) +
                               (column == 0 ? view->iconSize().width() + 8 : 0);
            QVERIFY2(header->sectionSize(column) > needed,
                     qPrintable(u"column %1: %2 for \"%3\" (%4)"_s.arg(column)
                                    .arg(header->sectionSize(column))
                                    .arg(texts[column])
                                    .arg(needed)));
        }
        // Headed in Chinese too.
        QCOMPARE(model->headerData(2, Qt::Horizontal).toString(), u"类型"_s);
    }
};

QTEST_MAIN(FileDialogTest)
#include "file_dialog_test.moc"
