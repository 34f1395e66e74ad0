// The file selection box over the library's real file dialog, answered from a timer as a user
// would answer it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <fstream>
#include <memory>

#include "runtime/commands/runtime.h"
#include "runtime/screen/screen.h"
#include "support/runtime_fixture.h"

namespace {

class file_box : public runtime_fixture {
 protected:
  // Answers the next file dialog: remembers what it showed, then picks `name` or cancels.
  // Answers the file dialog: remembers what it showed, then picks `name` or cancels.  The
  // timer keeps answering until the dialog is gone, as a user clicks until it closes.
  void answer_with(const std::string& name) {
    timer_ = std::make_unique<QTimer>();
    timer_->setInterval(20);
    QObject::connect(timer_.get(), &QTimer::timeout, [this, name] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      if (dialog->isHidden()) return;
      title = dialog->windowTitle().toStdString();
      filters = dialog->nameFilters().join(QStringLiteral(";;")).toStdString();
      existing_only = dialog->fileMode() == QFileDialog::ExistingFile;
      if (name.empty()) {
        dialog->reject();
      } else {
        // Typed into the name field, as a user does.
        dialog->setDirectory(QString::fromStdString(dir.string()));
        if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
          edit->setText(QString::fromStdString(name));
        seen_selection = dialog->selectedFiles().join(QStringLiteral(";")).toStdString();
        static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
      }
    });
    timer_->start();
  }
  void TearDown() override {
    timer_.reset();
    runtime_fixture::TearDown();
  }
  std::unique_ptr<QTimer> timer_;
  std::string title, filters;
  bool existing_only = false;
  std::string seen_selection;
};

TEST_F(file_box, AChoiceComesBackWithSuccess) {
  start_headless();
  { std::ofstream("kunde.dat") << "x"; }
  answer_with("kunde.dat");
  int32_t success = 0;
  u_fsbox("Kunde laden", "Daten|*.dat|Alle|*.*", 1, 0, success);
  EXPECT_EQ(success, 1);
  EXPECT_TRUE(seen_selection.ends_with("/kunde.dat")) << seen_selection;
  EXPECT_EQ(title, "Kunde laden");
  EXPECT_EQ(filters, "Daten (*.dat);;Alle (*.*)");
  EXPECT_TRUE(existing_only);
}

TEST_F(file_box, CancelGivesNoSuccessAndABlankTitleIsChosenByTheCreateFlag) {
  start_headless();
  answer_with("");
  int32_t success = 1;
  u_fsbox(" ", "*.TXT", 0, 0, success);
  EXPECT_EQ(success, 0);
  EXPECT_EQ(title, "Neue Datei w\xC3\xA4hlen");  // UTF-8 on the Qt side
  EXPECT_EQ(filters, "*.TXT (*.TXT)");
  EXPECT_FALSE(existing_only);
}

}  // namespace
