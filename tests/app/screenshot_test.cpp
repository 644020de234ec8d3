// The main window on an archive imported from a bundled forum capture, as a
// user first sees it: the browse with the header block of the highlighted
// message above its text, the column of the current order marked, and the
// thread tree. The picture is written to app_screenshot.png in the working
// directory so that it can be looked at.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QSet>
#include <QTableView>
#include <QTest>
#include <filesystem>

#include "app/app_archive.h"
#include "app/browse_window.h"
#include "app/main_frame.h"
#include "app/startup.h"
#include "app/window_registry.h"
#include "archive/session.h"
#include "support/cli_run.h"

using namespace qb::app;
namespace fs = std::filesystem;

TEST(Screenshot, TheMainWindowShowsTheHeaderBlockAndTheSortColumn) {
  qb::test::ensureApplication();
  std::string root = (fs::temp_directory_path() / "quillbox-shot-XXXXXX").string();
  ASSERT_NE(::mkdtemp(root.data()), nullptr);
  const std::string home = root + "/home";
  ASSERT_EQ(qb::test::runCli(QB_CLI, home, {"init"}).code, 0);
  const auto imported = qb::test::runCli(QB_CLI, home,
                                         {"--quiet", "import", "--format", "OzCIS", "--dir",
                                          std::string(QB_SOURCE_DIR) + "/samples/captures/ozcis", "--mask",
                                          "*.MSG;*.PRG;*.OBS"});
  ASSERT_EQ(imported.code, 0) << imported.err;
  {
    qb::RecordingUI ui;
    qb::store::Session s(ui);
    ASSERT_EQ(runStartupChecks(s, home, [](qb::store::Session&) { return false; }), 1);
    MainFrame frame(s, StartNormal);
    frame.resize(1200, 760);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QTest::qWait(200);
    auto* b = qobject_cast<BrowseWindow*>(frame.registry().get("BrowseMsgNmbr"));
    ASSERT_NE(b, nullptr);
    b->setView(6);  // by message number
    b->setCurrentRow(1);
    QTest::qWait(200);

    // The header block is there, in sight, and names the sender, the forum
    // and the message.
    auto* header = b->findChild<QLabel*>("MessageHeader");
    ASSERT_NE(header, nullptr);
    EXPECT_TRUE(header->isVisible());
    EXPECT_GT(header->height(), 2 * header->fontMetrics().height());
    const QStringList lines = b->headerLines();
    auto has = [&](const char* label) {
      return std::any_of(lines.begin(), lines.end(), [&](const QString& l) { return l.startsWith(label); });
    };
    EXPECT_TRUE(has("From: ")) << lines.join("|").toStdString();
    EXPECT_TRUE(has("Date: "));
    EXPECT_TRUE(has("Forum: "));
    EXPECT_TRUE(has("Message: "));
    EXPECT_TRUE(header->text().contains(lines.value(0).section(": ", 1).toHtmlEscaped()));

    // The column of the order is shown, marked, and within the list.
    QTableView* list = b->list();
    const int c = b->sortColumn();
    ASSERT_GE(c, 0);
    EXPECT_FALSE(list->isColumnHidden(c));
    EXPECT_EQ(list->horizontalHeader()->sortIndicatorSection(), c);
    EXPECT_LT(list->columnViewportPosition(c), list->viewport()->width());
    EXPECT_EQ(b->model().headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(), "Msg No");
    EXPECT_EQ(b->model().data(b->model().index(1, c), Qt::DisplayRole).toString(),
              QString::number(b->current()->id()));
    EXPECT_TRUE(frame.statusZone(1).startsWith("Row 2 of "));

    const QImage shot = frame.grab().toImage();
    EXPECT_TRUE(shot.save("app_screenshot.png"));
    // A real picture: many colours, not an empty window.
    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 7)
      for (int x = 0; x < shot.width(); x += 7) colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 20);
    EXPECT_FALSE(QFontDatabase::families().isEmpty());  // text is drawn with a real font
  }
  fs::remove_all(root);
}
