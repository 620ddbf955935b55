#include "presets/file_replace.h"
#include "presets/preset_file.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

class PresetFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("skyfill-presets-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string PathOf(const char* name) const { return (dir / name).string(); }

    static std::vector<uint8_t> Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void Write(const std::string& path, const std::vector<uint8_t>& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }

    fs::path dir;
};

TEST_F(PresetFileTest, DefaultBlockSavesAsTheKnown176Bytes) {
    const std::string path = PathOf("default.skf");
    const PresetSaveResult saved = SavePresetBytes(path, DefaultPresetBlock(), u"");
    ASSERT_TRUE(saved.saved);
    const std::vector<uint8_t> bytes = Bytes(path);
    ASSERT_EQ(bytes.size(), 176u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 8), "KOVSKCF1");
    const std::vector<uint8_t> slot0 = {0xBD, 0xB5, 0x00, 0xFF, 0xBF, 0x00, 0xC6, 0xFF,
                                        0x00, 0xB9, 0xBE, 0xFF, 0x00, 0x00, 0xCC, 0xFF,
                                        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                        0x01, 0x00, 0x00, 0x00, 0x32, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 8, bytes.begin() + 40), slot0);
    const std::vector<uint8_t> tail = {0, 0, 0, 0, 2, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 8, bytes.end()), tail);
}

TEST_F(PresetFileTest, MaskPathSectionIsCutTo299UnitsAndShrinksAgainWithoutAMask) {
    const std::string path = PathOf("mask.skf");
    std::u16string longPath = u"/home/ü/";
    longPath.append(400, u'x');
    ASSERT_TRUE(SavePresetBytes(path, DefaultPresetBlock(), longPath).saved);
    std::vector<uint8_t> bytes = Bytes(path);
    ASSERT_EQ(bytes.size(), 784u);
    EXPECT_EQ(std::string(bytes.begin() + 176, bytes.begin() + 184), "KOVSKCF2");
    EXPECT_EQ(bytes[184 + 12], 0xFC); // 'ü' as UTF-16LE
    EXPECT_EQ(bytes[184 + 13], 0x00);
    EXPECT_EQ(bytes[184 + 299 * 2], 0);
    EXPECT_EQ(bytes[184 + 299 * 2 + 1], 0);
    const PresetLoadResult loaded = ReadPresetFile(path);
    ASSERT_EQ(loaded.outcome, PresetLoadResult::Outcome::Loaded);
    EXPECT_EQ(loaded.maskPath, longPath.substr(0, 299));

    // Saving over the older long file leaves only the short one.
    ASSERT_TRUE(SavePresetBytes(path, DefaultPresetBlock(), u"").saved);
    EXPECT_EQ(Bytes(path).size(), 176u);
}

TEST_F(PresetFileTest, LoadsShortAndLongFilesAndIgnoresWhatFollowsTheBlock) {
    const std::string path = PathOf("p.skf");
    PresetBlock block = DefaultPresetBlock();
    block.m_presetSlot = 3;
    block.m_presetSlots[3].cloudSpeed = -3;
    ASSERT_TRUE(SavePresetBytes(path, block, u"").saved);
    PresetLoadResult r = ReadPresetFile(path);
    ASSERT_EQ(r.outcome, PresetLoadResult::Outcome::Loaded);
    EXPECT_EQ(std::memcmp(&r.block, &block, sizeof block), 0);
    EXPECT_FALSE(r.maskSection);

    std::vector<uint8_t> bytes = Bytes(path);
    const std::vector<uint8_t> wrongMagic = {'K', 'O', 'V', 'S', 'K', 'C', 'F', '9'};
    bytes.insert(bytes.end(), wrongMagic.begin(), wrongMagic.end());
    Write(path, bytes);
    r = ReadPresetFile(path);
    EXPECT_EQ(r.outcome, PresetLoadResult::Outcome::Loaded);
    EXPECT_FALSE(r.maskSection);

    bytes.resize(176);
    bytes.insert(bytes.end(), std::begin(kMaskMagic), std::end(kMaskMagic));
    bytes.resize(784, 0); // a path that starts with NUL
    Write(path, bytes);
    r = ReadPresetFile(path);
    EXPECT_EQ(r.outcome, PresetLoadResult::Outcome::Loaded);
    EXPECT_TRUE(r.maskPath.empty());

    bytes.resize(184); // the second magic and nothing after it
    Write(path, bytes);
    r = ReadPresetFile(path);
    EXPECT_EQ(r.outcome, PresetLoadResult::Outcome::Loaded);
    EXPECT_TRUE(r.maskNameMissing);
    EXPECT_STREQ(PresetMessageText(r.message), "Something went wrong\ngetting Alpha Mask name");
    EXPECT_STREQ(PresetMessageCaption(r.message), "Load Mask File");
}

TEST_F(PresetFileTest, RefusesForeignShortAndMissingFilesWithTheirMessages) {
    EXPECT_EQ(ReadPresetFile(PathOf("none.skf")).outcome, PresetLoadResult::Outcome::NotOpened);
    EXPECT_EQ(ReadPresetFile(PathOf("none.skf")).message, PresetMessage::None);

    const std::string path = PathOf("p.skf");
    std::vector<uint8_t> bytes(kMaskMagic, kMaskMagic + 8);
    bytes.resize(784, 1);
    Write(path, bytes);
    PresetLoadResult r = ReadPresetFile(path);
    EXPECT_EQ(r.outcome, PresetLoadResult::Outcome::Refused);
    EXPECT_STREQ(PresetMessageText(r.message), "Unrecognised file type");
    EXPECT_STREQ(PresetMessageCaption(r.message), "Load File");

    Write(path, {'K', 'O', 'V'});
    EXPECT_EQ(ReadPresetFile(path).message, PresetMessage::UnrecognisedType);

    bytes.assign(kPresetMagic, kPresetMagic + 8);
    bytes.resize(8 + 100, 7);
    Write(path, bytes);
    r = ReadPresetFile(path);
    EXPECT_EQ(r.outcome, PresetLoadResult::Outcome::Refused);
    EXPECT_STREQ(PresetMessageText(r.message), "Something went wrong - \nunless you have just "
                                               "updated Skyfill\nin which case you may see this "
                                               "once.");
}

TEST_F(PresetFileTest, OutOfRangeValuesAreClampedBeforeAnyoneIndexesWithThem) {
    PresetBlock block = DefaultPresetBlock();
    block.m_presetSlot = 77;
    block.m_presetPreviewMode = -9;
    block.m_presetSlots[1].fillPattern = 9;
    block.m_presetSlots[1].rotationMode = -2;
    block.m_presetSlots[1].cloudSet = 200;
    block.m_presetSlots[1].cloudSpeed = -100;
    block.m_presetSlots[1].rotationSliderPosition = 3;
    block.m_presetSlots[2].rotationSliderPosition = 60000;
    EXPECT_TRUE(ClampPresetBlock(block));
    EXPECT_EQ(block.m_presetSlot, 4);
    EXPECT_EQ(block.m_presetPreviewMode, 0);
    EXPECT_EQ(block.m_presetSlots[1].fillPattern, 3);
    EXPECT_EQ(block.m_presetSlots[1].rotationMode, 0);
    EXPECT_EQ(block.m_presetSlots[1].cloudSet, 1);
    EXPECT_EQ(block.m_presetSlots[1].cloudSpeed, -4);
    EXPECT_EQ(block.m_presetSlots[1].rotationSliderPosition, 10);
    EXPECT_EQ(block.m_presetSlots[2].rotationSliderPosition, 250);
    PresetBlock defaults = DefaultPresetBlock();
    EXPECT_FALSE(ClampPresetBlock(defaults));
}

TEST_F(PresetFileTest, AFailedSaveLeavesTheExistingFileWhole) {
    const std::string path = PathOf("keep.skf");
    ASSERT_TRUE(SavePresetBytes(path, DefaultPresetBlock(), u"/old/mask.png").saved);
    const std::vector<uint8_t> before = Bytes(path);
    ASSERT_EQ(before.size(), 784u);

    // A file-size limit makes the write of the block fail part-way, as a full disk would.
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous = {};
    ::sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    PresetBlock other = DefaultPresetBlock();
    other.m_presetSlot = 2;
    const PresetSaveResult result = SavePresetBytes(path, other, u"");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_FALSE(result.saved);
    EXPECT_STREQ(PresetMessageText(result.message), "Problem occurred - file not saved");
    EXPECT_STREQ(PresetMessageCaption(result.message), "Save File");
    EXPECT_EQ(Bytes(path), before);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1);

    const PresetSaveResult nowhere = SavePresetBytes(PathOf("no/such/dir/x.skf"), other, u"");
    EXPECT_FALSE(nowhere.saved);
    EXPECT_EQ(nowhere.message, PresetMessage::None); // not reported
}

TEST_F(PresetFileTest, SavingKeepsTheFilesModeAndOwnerAndGoesThroughLinksToTheirTarget) {
    fs::create_directories(dir / "real");
    fs::create_directories(dir / "links");
    const std::string target = PathOf("real/last.skf");
    ASSERT_TRUE(SavePresetBytes(target, DefaultPresetBlock(), u"/m.png").saved);
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    const bool root = ::geteuid() == 0; // only root can give a file away
    ASSERT_TRUE(!root || ::chown(target.c_str(), 4321, 4322) == 0);
    // Saved by its own name, then through a chain of links, each relative to its folder.
    fs::create_symlink("../real/last.skf", dir / "links" / "hop.skf");
    fs::create_symlink("links/hop.skf", dir / "last.skf");
    PresetBlock block = DefaultPresetBlock();
    for (const std::string& name : {target, PathOf("last.skf")}) {
        ++block.m_presetSlot;
        ASSERT_TRUE(SavePresetBytes(name, block, u"").saved);
        EXPECT_EQ(ReadPresetFile(target).block.m_presetSlot, block.m_presetSlot) << name;
        struct stat info {};
        ASSERT_EQ(::stat(target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0640u);
        EXPECT_TRUE(!root || (info.st_uid == 4321 && info.st_gid == 4322));
    }
    EXPECT_TRUE(fs::is_symlink(dir / "last.skf"));
    EXPECT_TRUE(fs::is_symlink(dir / "links" / "hop.skf"));

    // A file with a second name is rewritten where it is, so both names see the save.
    fs::create_hard_link(target, dir / "second.skf");
    ++block.m_presetSlot;
    ASSERT_TRUE(SavePresetBytes(target, block, u"").saved);
    EXPECT_EQ(ReadPresetFile(PathOf("second.skf")).block.m_presetSlot, block.m_presetSlot);

    fs::create_symlink("real/new.skf", dir / "fresh.skf"); // a link to a file not made yet
    ASSERT_TRUE(SavePresetBytes(PathOf("fresh.skf"), block, u"").saved);
    EXPECT_TRUE(fs::is_symlink(dir / "fresh.skf"));
    EXPECT_EQ(Bytes(PathOf("real/new.skf")).size(), 176u);
}

// Root may make files in any folder: hooks that make no temporary file stand in for a
// folder the user may not write to.
TEST_F(PresetFileTest, WithoutATemporaryFileAnExistingFileIsRewrittenInPlace) {
    FileReplaceHooks hooks = SystemFileReplaceHooks();
    hooks.makeTemporary = [](std::string&) {
        errno = EACCES;
        return -1;
    };
    const std::string path = PathOf("last.skf");
    Write(path, std::vector<uint8_t>(784, 'o'));
    {
        FileReplacement file(path, hooks);
        ASSERT_TRUE(file.Write("new", 3));
        EXPECT_TRUE(file.Finish());
    }
    EXPECT_EQ(Bytes(path), (std::vector<uint8_t>{'n', 'e', 'w'})); // nothing old after it
    FileReplacement none(PathOf("none.skf"), hooks);               // nothing to rewrite
    EXPECT_FALSE(none.IsOpen());
    EXPECT_FALSE(fs::exists(PathOf("none.skf")));
}

// A rename survives a power cut only once its folder is on disk: the folder the links
// lead to, synced after the new file is in place.
TEST_F(PresetFileTest, TheTargetsFolderIsSyncedOnceTheNewFileIsInPlace) {
    fs::create_directories(dir / "real");
    fs::create_symlink("real/p.skf", dir / "p.skf");
    std::vector<std::string> synced;
    FileReplaceHooks hooks = SystemFileReplaceHooks();
    hooks.syncFolder = [&](const std::string& folder) {
        synced.push_back(folder);
        EXPECT_EQ(Bytes(PathOf("real/p.skf")).size(), 3u);
    };
    FileReplacement file(PathOf("p.skf"), hooks);
    ASSERT_TRUE(file.Write("abc", 3));
    ASSERT_TRUE(file.Finish());
    ASSERT_EQ(synced.size(), 1u);
    EXPECT_TRUE(fs::equivalent(synced[0], dir / "real"));
}

// Opening a pipe for reading waits for a writer, for ever if none comes; a folder or a
// pipe under a preset file's name counts as a file that cannot be opened.
TEST_F(PresetFileTest, OnlyRegularFilesAreReadAndAPipeIsNeverWaitedOn) {
    fs::create_directory(dir / "folder.skf");
    EXPECT_EQ(ReadPresetFile(PathOf("folder.skf")).message, PresetMessage::None);

    const std::string good = PathOf("good.skf");
    ASSERT_TRUE(SavePresetBytes(good, DefaultPresetBlock(), u"/m.png").saved);
    const std::vector<uint8_t> bytes = Bytes(good);
    const std::string pipe = PathOf("pipe.skf");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // With a writing end held and a whole file in the pipe, a reader that does open it
    // waits neither to open nor to read; closing that end would end any wait anyway.
    const int writer = ::open(pipe.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::write(writer, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    auto reading = std::async(std::launch::async, [&] { return ReadPresetFile(pipe); });
    (void)reading.wait_for(std::chrono::seconds(5));
    ::close(writer);
    const PresetLoadResult r = reading.get();
    EXPECT_EQ(r.outcome, PresetLoadResult::Outcome::NotOpened);
    EXPECT_EQ(r.message, PresetMessage::None);
}

// Damaged files of every kind: the reader never crashes, and whatever it accepts is a
// whole block with every indexing value in range.
TEST_F(PresetFileTest, DamagedFilesAreRefusedOrLoadedWholeAndInRange) {
    const std::string path = PathOf("fuzz.skf");
    PresetBlock block = DefaultPresetBlock();
    block.m_presetSlot = 2;
    ASSERT_TRUE(SavePresetBytes(path, block, u"C:\\masks\\m.png").saved);
    const std::vector<uint8_t> good = Bytes(path);

    auto check = [&](const std::vector<uint8_t>& bytes) {
        Write(path, bytes);
        const PresetLoadResult r = ReadPresetFile(path);
        if (r.outcome != PresetLoadResult::Outcome::Loaded) {
            return r.outcome;
        }
        PresetBlock copy = r.block;
        EXPECT_FALSE(ClampPresetBlock(copy)) << "accepted a value out of range";
        EXPECT_LE(r.maskPath.size(), kMaskPathUnits);
        return r.outcome;
    };
    for (std::size_t length = 0; length <= good.size(); ++length) {
        const auto outcome = check({good.begin(), good.begin() + static_cast<long>(length)});
        EXPECT_EQ(outcome == PresetLoadResult::Outcome::Loaded, length >= 176) << length;
    }
    std::mt19937 random(99);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> bytes = good;
        const int flips = 1 + static_cast<int>(random() % 40);
        for (int i = 0; i < flips; ++i) {
            bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
        }
        if (round % 3 == 0) {
            bytes.resize(random() % 1200, static_cast<uint8_t>(random())); // unterminated paths
        }
        if (round % 5 == 0) {
            std::memcpy(bytes.data(), kPresetMagic, std::min<std::size_t>(8, bytes.size()));
        }
        check(bytes);
    }
}

TEST(PresetFileNames, TitleEndsAtEitherKindOfSlash) {
    EXPECT_EQ(MaskFileTitle(u"C:\\masks\\logo.png"), u"logo.png");
    EXPECT_EQ(MaskFileTitle(u"/home/me/masks/logo.png"), u"logo.png");
    EXPECT_EQ(MaskFileTitle(u"logo.png"), u"logo.png");
}

} // namespace
