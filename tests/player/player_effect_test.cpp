// The player as the host and the editor see it: record, names, the parameter table, the
// setters, loading a file and hostile host input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "loader_test_support.h"
#include "player_test_support.h"
#include "test_data.h"

namespace vintrove::test {
namespace {

std::string display(PlayerEffect& player, std::int32_t index) {
  char text[64];
  std::memset(text, '#', sizeof text);
  text[sizeof text - 1] = '\0';
  player.getParameterDisplay(index, text);
  return text;
}

TEST(PlayerRecord, PresentsAnInstrumentWithTwoOutputsAndFourParameters) {
  RecordedPlayer p;
  const EffectRecord& record = *p.player->getRecord();
  EXPECT_EQ(record.flags, 0x139);
  EXPECT_EQ(record.numInputs, 0);
  EXPECT_EQ(record.numOutputs, 2);
  EXPECT_EQ(record.numPrograms, 1);
  EXPECT_EQ(record.numParams, 4);
  EXPECT_EQ(record.uniqueID, 0x56747276);
  EXPECT_EQ(p.player->getEditor(), static_cast<EditorBase*>(&p.port));
  EXPECT_NE(p.player->getLoader(), nullptr);
}

TEST(PlayerRecord, WithoutAnEditorTheFlagStaysOffAndRequestsStillWork) {
  PlayerEffect player(nullptr, nullptr);
  EXPECT_EQ(player.getRecord()->flags, 0x138);
  player.setParameter(0, 1.0f);
  player.setLength(100);
  player.loadFile("/no/such/file.mp3");
  EXPECT_EQ(player.processEvents(nullptr), 1);
  EXPECT_FALSE(player.isPlaying());
}

// Without its editor host parameters and MIDI would go nowhere: the player is not made at all.
TEST(PlayerRecord, AnEditorFactoryThatThrowsFailsTheConstruction) {
  EXPECT_ANY_THROW(PlayerEffect(nullptr, [](PlayerEffect&) -> PlayerEditorHandle { throw 1; }));
}

TEST(PlayerNames, EffectVendorProductAndVersion) {
  RecordedPlayer p;
  struct Case {
    bool (PlayerEffect::*get)(char*);
    const char* expected;
  };
  const Case cases[] = {{&PlayerEffect::getEffectName, "Vintrove (clusters)"},
                        {&PlayerEffect::getVendorString, "Orlanbeck"},
                        {&PlayerEffect::getProductString, "Vintrove"}};
  for (const Case& c : cases) {
    char text[64] = "old";
    EXPECT_TRUE((p.player.get()->*c.get)(text));
    EXPECT_STREQ(text, c.expected);
  }
  EXPECT_EQ(p.player->getVendorVersion(), 4);
  EXPECT_FALSE(p.player->getEffectName(nullptr));
}

TEST(PlayerNames, ProgramNameStartsAsDefaultAndIsCutAt24Characters) {
  RecordedPlayer p;
  char text[64] = {};
  p.player->getProgramName(text);
  EXPECT_STREQ(text, "Default");

  char name[] = "Live set";
  p.player->setProgramName(name);
  p.player->getProgramName(text);
  EXPECT_STREQ(text, "Live set");

  std::string longName(40, 'x');
  longName[24] = 'Y';
  p.player->setProgramName(longName.data());
  std::memset(text, '#', sizeof text);
  p.player->getProgramName(text);
  EXPECT_EQ(std::string(text), std::string(24, 'x'));
  EXPECT_EQ(text[26], '#') << "written past the 25 bytes hosts hand over";
}

TEST(PlayerParameters, FreshPlayerAnswersAndDisplays) {
  RecordedPlayer p;
  struct Case {
    std::int32_t index;
    const char* name;
    const char* shown;
    float value;
  };
  const Case cases[] = {{0, "Playing", "no", 0.0f},
                        {1, "Loop", "no", 0.0f},
                        {2, "Position", "0.000000", 0.0f},
                        {3, "Pitch", "1.000000", 0.5416667f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    char name[64] = "old";
    p.player->getParameterName(c.index, name);
    EXPECT_STREQ(name, c.name);
    char label[64] = "old";
    p.player->getParameterLabel(c.index, label);
    EXPECT_STREQ(label, "");
    EXPECT_EQ(display(*p.player, c.index), c.shown);
    EXPECT_FLOAT_EQ(p.player->getParameter(c.index), c.value);
  }
}

TEST(PlayerParameters, IndexesOutsideTheTableLeaveTextsAndAnswerZero) {
  RecordedPlayer p;
  for (std::int32_t index : {-1, 4, 7, 1000}) {
    SCOPED_TRACE(index);
    char text[16] = "untouched";
    p.player->getParameterName(index, text);
    p.player->getParameterLabel(index, text);
    p.player->getParameterDisplay(index, text);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(p.player->getParameter(index), 0.0f);
    p.player->setParameter(index, 0.7f);
  }
  EXPECT_TRUE(p.port.commands.empty());
}

TEST(PlayerParameters, DisplaysFollowTheTransport) {
  RecordedPlayer p;
  p.player->setLength(1000);
  p.player->setPosition(0.25f);
  p.player->setPlaying(true);
  p.player->setLoop(true);
  EXPECT_EQ(display(*p.player, 0), "yes");
  EXPECT_EQ(display(*p.player, 1), "yes");
  EXPECT_EQ(display(*p.player, 2), "0.250000");
  EXPECT_FLOAT_EQ(p.player->getParameter(2), 0.25f);
  EXPECT_EQ(p.player->getParameter(0), 1.0f);
  EXPECT_EQ(p.player->getParameter(1), 1.0f);
  p.player->setPitch(0.0f);
  EXPECT_EQ(display(*p.player, 3), "-12.0000");  // 8 characters, the format's most
  p.player->setPosition(1.0f);
  EXPECT_EQ(display(*p.player, 2), "1.000000");
}

TEST(PlayerParameters, SetParameterSendsCommandsToTheEditor) {
  struct Case {
    const char* what;
    bool playing;
    bool loop;
    std::int32_t index;
    float value;
    std::vector<SentCommand> sent;
  };
  const Case cases[] = {
      {"play while stopped sets play", false, false, 0, 0.3f, {{4, 1.0f}}},
      {"play while playing sets play again", true, false, 0, 0.3f, {{4, 1.0f}}},
      {"stop while playing sets stop", true, false, 0, 0.0f, {{4, 0.0f}}},
      {"stop while stopped sets stop again", false, false, 0, 0.0f, {{4, 0.0f}}},
      {"loop on sets loop", false, false, 1, 1.0f, {{5, 1.0f}}},
      {"loop on while on sets loop again", false, true, 1, 0.5f, {{5, 1.0f}}},
      {"loop off sets loop off", false, true, 1, 0.0f, {{5, 0.0f}}},
      {"a negative switch value is off", false, true, 1, -2.0f, {{5, 0.0f}}},
      {"position goes as it is", false, false, 2, 0.625f, {{6, 0.625f}}},
      {"pitch goes as it is", false, false, 3, 0.125f, {{7, 0.125f}}},
      {"a negative value is 0, not a toggle", false, false, 3, -0.5f, {{7, 0.0f}}},
      {"a value above 1 is 1, not a step down", false, false, 2, 1.05f, {{6, 1.0f}}},
      {"2.5 is 1, not a step up", false, false, 3, 2.5f, {{7, 1.0f}}},
      {"NaN sends nothing", false, false, 2, std::numeric_limits<float>::quiet_NaN(), {}},
      {"infinity sends nothing", true, false, 0, -std::numeric_limits<float>::infinity(), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordedPlayer p;
    p.player->setPlaying(c.playing);
    p.player->setLoop(c.loop);
    p.player->setParameter(c.index, c.value);
    EXPECT_EQ(p.port.commands, c.sent);
    // Only the editor's reaction changes the transport.
    EXPECT_EQ(p.player->isPlaying(), c.playing);
    EXPECT_EQ(p.player->isLooping(), c.loop);
  }
}

TEST(PlayerSetters, PitchMapsTheSliderToPlusMinusTwelvePerCent) {
  struct Case {
    float value;
    float pitch;
    float parameter;
  };
  const Case cases[] = {{0.5f, 0.0f, 0.5f},      {0.0f, -12.0f, 0.0f}, {1.0f, 12.0f, 1.0f},
                        {0.75f, 6.0f, 0.75f},    {-3.0f, -12.0f, 0.0f}, {9.0f, 12.0f, 1.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    RecordedPlayer p;
    p.player->setPitch(c.value);
    EXPECT_FLOAT_EQ(p.player->getPitch(), c.pitch);
    EXPECT_FLOAT_EQ(p.player->getParameter(3), c.parameter);
  }
  RecordedPlayer p;
  p.player->setPitch(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(p.player->getPitch(), 1.0f);
}

TEST(PlayerSetters, PositionIsTheTruncatedFractionOfTheLength) {
  struct Case {
    std::int32_t length;
    float fraction;
    std::int32_t position;
  };
  const Case cases[] = {{1000, 0.25f, 250},      {1000, 1.0f, 1000},   {88200, 0.5f, 44100},
                        {1000, 0.0009f, 0},      {999, 0.5f, 499},     {1000, 1.5f, 1000},
                        {1000, -0.5f, 0},        {1000, std::numeric_limits<float>::quiet_NaN(), 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fraction);
    RecordedPlayer p;
    p.player->setLength(c.length);
    p.port.clear();
    p.player->setPosition(c.fraction);
    EXPECT_EQ(p.player->getPosition(), c.position);
    ASSERT_EQ(p.port.positions.size(), 1u);
    EXPECT_FLOAT_EQ(p.port.positions[0].fraction,
                    static_cast<float>(c.position) / static_cast<float>(c.length));
    EXPECT_EQ(p.port.positions[0].seconds, c.position / 44100);
  }
}

TEST(PlayerSetters, PositionWithoutLengthStaysAtZeroAndRefreshesNothing) {
  RecordedPlayer p;
  p.player->setPosition(0.5f);
  EXPECT_EQ(p.player->getPosition(), 0);
  EXPECT_TRUE(p.port.positions.empty());
  EXPECT_EQ(p.player->getParameter(2), 0.0f);
}

TEST(PlayerSetters, PlayingAndLoopAreStoredAsGiven) {
  RecordedPlayer p;
  p.player->setPlaying(true);
  p.player->setLoop(true);
  EXPECT_TRUE(p.player->isPlaying());
  EXPECT_TRUE(p.player->isLooping());
  p.player->setPlaying(false);
  EXPECT_FALSE(p.player->isPlaying());
  EXPECT_TRUE(p.player->isLooping());
}

TEST(PlayerSetters, ResumeRewindsWithoutStopping) {
  RecordedPlayer p;
  p.player->setLength(1000);
  p.player->setPosition(0.5f);
  p.player->setPlaying(true);
  p.player->resume();
  EXPECT_EQ(p.player->getPosition(), 0);
  EXPECT_TRUE(p.player->isPlaying());
}

TEST(PlayerLoaderReports, SetLengthShowsFileInfoThenThePosition) {
  RecordedPlayer p;
  p.player->setLength(88200);
  p.player->setPosition(0.75f);
  p.port.clear();
  p.player->setLength(132300);  // the loader's default rate is 44100 Hz, stereo
  ASSERT_EQ(p.port.fileInfo.size(), 1u);
  EXPECT_EQ(p.port.fileInfo[0].bitRate, 128000);
  EXPECT_FLOAT_EQ(p.port.fileInfo[0].seconds, 3.0f);
  EXPECT_TRUE(p.port.fileInfo[0].stereo);
  ASSERT_EQ(p.port.positions.size(), 1u);
  EXPECT_FLOAT_EQ(p.port.positions[0].fraction, 66150.0f / 132300.0f);
  EXPECT_EQ(p.port.positions[0].seconds, 1);
  EXPECT_EQ(p.player->getLength(), 132300);

  p.port.clear();
  p.player->setLength(0);
  EXPECT_EQ(p.player->getLength(), 0);
  EXPECT_TRUE(p.port.fileInfo.empty());
  EXPECT_TRUE(p.port.positions.empty());

  p.player->loadingTick(4096);
  p.player->loadingTick(8192);
  EXPECT_EQ(p.port.progress, 2);
}

TEST(PlayerLoadFile, AStartedLoadPlaysAndReportsTheFile) {
  RecordedPlayer p;
  const std::string path = testDataPath("l3_48k_stereo_320k.mp3");
  p.player->loadFile(path.c_str());
  EXPECT_TRUE(p.player->isPlaying());
  {
    std::lock_guard<std::mutex> guard(p.port.mutex);
    ASSERT_EQ(p.port.playingShown.size(), 1u);
    EXPECT_TRUE(p.port.playingShown[0]);
    EXPECT_EQ(p.port.notFound, 0);
  }
  char name[PlayerEffect::kFileNameCapacity];
  p.player->getFileName(name);
  EXPECT_EQ(name, path);

  ClusterSampleLoader& loader = *p.player->getLoader();
  ASSERT_TRUE(waitUntil(
      [&] { return loader.isComplete() && p.player->getLength() == loader.getDecodedFrames(); }));
  EXPECT_EQ(loader.getSampleRate(), 48000);
  std::lock_guard<std::mutex> guard(p.port.mutex);
  ASSERT_FALSE(p.port.fileInfo.empty());
  EXPECT_EQ(p.port.fileInfo.back().bitRate, 320000);
  EXPECT_FLOAT_EQ(p.port.fileInfo.back().seconds,
                  static_cast<float>(loader.getDecodedFrames()) / 48000.0f);
  EXPECT_TRUE(p.port.fileInfo.back().stereo);
  EXPECT_GT(p.port.progress, 0);
  // The overview was painted into the editor's image.
  bool painted = false;
  for (unsigned char byte : p.port.overview) painted = painted || byte != 0;
  EXPECT_TRUE(painted);
}

TEST(PlayerLoadFile, AFailedLoadShowsNotFoundAndKeepsTheTransport) {
  struct Case {
    const char* what;
    std::string path;
    bool playing;
  };
  const Case cases[] = {
      {"missing file, stopped", testDataPath("no_such_file.mp3"), false},
      {"missing file, playing", testDataPath("no_such_file.mp3"), true},
      {"path too long for the loader", std::string(1500, 'a'), true},
      {"path of exactly 1024 characters", std::string(1024, 'b'), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RecordedPlayer p;
    p.player->setLength(1000);
    p.player->setPosition(0.5f);
    p.player->setPlaying(c.playing);
    p.port.clear();
    p.player->loadFile(c.path.c_str());
    EXPECT_EQ(p.port.notFound, 1);
    EXPECT_TRUE(p.port.playingShown.empty());
    EXPECT_EQ(p.player->isPlaying(), c.playing);
    EXPECT_EQ(p.player->getLength(), 1000);
    // Nothing of what plays changes: the position and the (empty) file name stay.
    EXPECT_EQ(p.player->getPosition(), 500);
    std::vector<char> name(PlayerEffect::kFileNameCapacity + 16, '#');
    p.player->getFileName(name.data());
    EXPECT_EQ(std::string(name.data()), "");
  }
  RecordedPlayer p;
  p.player->loadFile(nullptr);
  EXPECT_EQ(p.port.notFound, 1);
  EXPECT_FALSE(p.player->isPlaying());
}

TEST(PlayerHostInput, NullTextsAreIgnored) {
  RecordedPlayer p;
  p.player->setProgramName(nullptr);
  p.player->getProgramName(nullptr);
  p.player->getParameterName(0, nullptr);
  p.player->getParameterDisplay(2, nullptr);
  p.player->getParameterLabel(1, nullptr);
  p.player->getFileName(nullptr);
  char text[64] = {};
  p.player->getProgramName(text);
  EXPECT_STREQ(text, "Default");
}

// With a null pointer the player answers 25 with 1 and 63 with -1, as with a record.
TEST(PlayerHostInput, EventsAndCurrentProgramAnswerAsTheTableSaysWithANullPointer) {
  RecordedPlayer p;
  EffectRecord* record = p.player->getRecord();
  EXPECT_EQ(record->dispatcher(record, 25, 0, 0, nullptr, 0.0f), 1);
  EXPECT_EQ(record->dispatcher(record, 63, 0, 0, nullptr, 0.0f), -1);
  EXPECT_TRUE(p.port.commands.empty());
}

TEST(PlayerHostInput, TheDispatcherReachesTheParameterTexts) {
  RecordedPlayer p;
  EffectRecord* record = p.player->getRecord();
  char text[64] = {};
  record->dispatcher(record, 8, 3, 0, text, 0.0f);
  EXPECT_STREQ(text, "Pitch");
  record->dispatcher(record, 7, 3, 0, text, 0.0f);
  EXPECT_STREQ(text, "1.000000");
  record->setParameter(record, 0, 1.0f);
  ASSERT_EQ(p.port.commands.size(), 1u);
  EXPECT_EQ(p.port.commands[0], (SentCommand{4, 1.0f}));
  EXPECT_FLOAT_EQ(record->getParameter(record, 3), 0.5416667f);
}

}  // namespace
}  // namespace vintrove::test
