#include "help/help_viewer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>

#include "catalogue/program_state.h"
#include "platform/paths.h"

namespace veldan {
namespace {

// The program folder is a temporary folder, with or without the help file we ship.
class HelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetProgramState();
    ASSERT_TRUE(folder_.isValid());
    ASSERT_TRUE(HostPathToProgram(folder_.path().toStdString(), g_state.program_folder, kTextSize));
  }
  void TearDown() override { delete owner_; }

  bool InstallHelpFile() { return QFile::copy(VELDAN_HELP_SOURCE, folder_.filePath("VELDAN.HLP")); }

  QTemporaryDir folder_;
  QPointer<QWidget> owner_ = new QWidget;
};

QSet<QString> AnchorNames(const QTextDocument& document) {
  QSet<QString> names;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      for (const QString& name : it.fragment().charFormat().anchorNames()) names.insert(name);
    }
  }
  return names;
}

QStringList LinkTargets(const QTextDocument& document) {
  QStringList targets;
  for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextCharFormat format = it.fragment().charFormat();
      if (format.isAnchor() && !format.anchorHref().isEmpty()) targets << format.anchorHref();
    }
  }
  return targets;
}

TEST_F(HelpTest, OpensTheShippedFileAtItsContents) {
  ASSERT_TRUE(InstallHelpFile());
  HelpViewer* viewer = ShowProgramHelp(owner_);
  ASSERT_NE(viewer, nullptr);
  EXPECT_TRUE(viewer->FileOpened());
  EXPECT_TRUE(viewer->isVisible());
  EXPECT_EQ(viewer->Browser()->source(), QUrl::fromLocalFile(folder_.filePath("VELDAN.HLP")));
  const QString text = viewer->Browser()->toPlainText();
  EXPECT_TRUE(text.startsWith(QString::fromUtf8("VELDAN 操作説明"))) << text.left(40).toStdString();
  EXPECT_TRUE(text.contains(QString::fromUtf8("目次")));
  EXPECT_EQ(viewer->Browser()->verticalScrollBar()->value(), 0);
}

TEST_F(HelpTest, EveryLinkOfTheManualLeadsToAPlaceInIt) {
  ASSERT_TRUE(InstallHelpFile());
  HelpViewer* viewer = ShowProgramHelp(owner_);
  const QTextDocument& document = *viewer->Browser()->document();
  const QSet<QString> anchors = AnchorNames(document);
  const QStringList links = LinkTargets(document);
  EXPECT_GE(links.size(), 20);
  for (const QString& link : links) {
    ASSERT_TRUE(link.startsWith('#')) << link.toStdString() << " leaves the manual";
    EXPECT_TRUE(anchors.contains(link.mid(1))) << link.toStdString() << " leads nowhere";
  }
  // One section per window and per topic the contents promises.
  for (const char* section : {"main", "options", "equalizer", "select", "listfile", "autocd",
                              "drivesel", "drives", "version"}) {
    EXPECT_TRUE(anchors.contains(section)) << section;
  }
  // Following a link stays in the same window and can be gone back from.
  viewer->Browser()->setSource(QUrl("#drives"));
  EXPECT_TRUE(viewer->Browser()->isBackwardAvailable());
  EXPECT_EQ(viewer->Browser()->source().fragment(), "drives");
  EXPECT_GT(viewer->Browser()->verticalScrollBar()->value(), 0);
}

TEST_F(HelpTest, AMissingFileIsReportedInTheViewerWithItsPath) {
  HelpViewer* viewer = ShowProgramHelp(owner_);
  ASSERT_NE(viewer, nullptr);
  EXPECT_FALSE(viewer->FileOpened());
  EXPECT_TRUE(viewer->isVisible());
  const QString text = viewer->Browser()->toPlainText();
  EXPECT_TRUE(text.contains(QString::fromUtf8("開けません")));
  EXPECT_TRUE(text.contains(QString::fromUtf8(g_state.program_folder) + "\\VELDAN.HLP"))
      << text.toStdString();
}

TEST_F(HelpTest, ThePathIsFormedAnewOnEveryRequestAndOneViewerServesThem) {
  HelpViewer* first = ShowProgramHelp(owner_);
  EXPECT_FALSE(first->FileOpened());
  ASSERT_TRUE(InstallHelpFile());
  HelpViewer* second = ShowProgramHelp(owner_);
  EXPECT_EQ(first, second);
  EXPECT_TRUE(second->FileOpened());

  QTemporaryDir other;
  ASSERT_TRUE(HostPathToProgram(other.path().toStdString(), g_state.program_folder, kTextSize));
  EXPECT_FALSE(ShowProgramHelp(owner_)->FileOpened());
}

}  // namespace
}  // namespace veldan
