#include "platform/host/MessageBoxes.h"

#include <gtest/gtest.h>

namespace korvana::host {
namespace {

TEST(MessageBoxes, TheErrorBoxAppendsAFullStopOnlyAfterCharactersThatSortAfterIt) {
  EXPECT_EQ(withFullStop("Proximity matrix is invalid"), "Proximity matrix is invalid.");
  EXPECT_EQ(withFullStop("Split File is not supported."), "Split File is not supported.");
  EXPECT_EQ(withFullStop("Analysis canceled by user!"), "Analysis canceled by user!");
  EXPECT_EQ(withFullStop("value (x)"), "value (x)");   // ')' sorts before '.'
  EXPECT_EQ(withFullStop("version 2"), "version 2.");  // digits sort after it
  EXPECT_EQ(withFullStop("a/"), "a/.");
  EXPECT_EQ(withFullStop("café"), "café.");  // bytes above 0x7f sort after it
  EXPECT_EQ(withFullStop(""), "");
}

TEST(MessageBoxes, ErrorBoxesGoToTheInstalledServiceWithCaptionAndIcon) {
  RecordingMessageBoxes boxes;
  {
    ScopedMessageBoxService scope(boxes);
    showErrorBox("Error opening file");
  }
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].caption, "Korvana");
  EXPECT_EQ(boxes.shown()[0].text, "Error opening file.");
  EXPECT_EQ(boxes.shown()[0].icon, MessageIcon::error);
  EXPECT_EQ(boxes.shown()[0].buttons, MessageButtons::ok);
  // Outside the scope the standard-error service is back.
  EXPECT_NE(&messageBoxes(), &boxes);
}

TEST(MessageBoxes, ScriptedAnswersComeFirstThenTheDefaultButton) {
  RecordingMessageBoxes boxes;
  boxes.scriptAnswer(MessageAnswer::no);
  const MessageBoxRequest question{"Q", "Overwrite?", MessageIcon::warning, MessageButtons::yesNo, MessageAnswer::yes};
  EXPECT_EQ(boxes.show(question), MessageAnswer::no);
  EXPECT_EQ(boxes.show(question), MessageAnswer::yes);
  EXPECT_EQ(boxes.shown().size(), 2u);
}

}  // namespace
}  // namespace korvana::host
