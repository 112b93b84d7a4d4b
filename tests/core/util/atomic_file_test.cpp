#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

#include "test_files.h"
#include "util/atomic_file.h"

using namespace korvex;

using namespace test_files;

TEST(AtomicFile, ReplacesOnCommitOnlyAndReportsUnwritableTargets)
{
    TempFolder t("atomic");
    const std::string target = t.Path("a.bin");
    std::ofstream(target) << "old";
    {
        korvex::AtomicFile file(target);
        ASSERT_TRUE(file.Open(nullptr));
        ASSERT_TRUE(file.Write("partial", 7));
    }  // no Commit: the writer gave up half way
    EXPECT_EQ(ReadText(target), "old");
    EXPECT_EQ(t.Entries(), 1u);
    std::string error;
    ASSERT_TRUE(korvex::WriteFileAtomically(target, "new data", 8, &error)) << error;
    EXPECT_EQ(ReadText(target), "new data");
    EXPECT_EQ(t.Entries(), 1u);

    EXPECT_FALSE(korvex::WriteFileAtomically(t.Path("missing/x"), "x", 1, &error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    fs::create_directories(t.dir / "folder");
    EXPECT_FALSE(korvex::WriteFileAtomically(t.Path("folder"), "x", 1, &error));
    EXPECT_NE(error.find("folder"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(t.dir / "folder"));
}

namespace {
const std::string kNew = "new data";

// Runs `body` in a child process as the unprivileged user 65534 (when this process is root;
// otherwise as this user) and returns its exit status.
int AsOtherUser(const std::function<int()>& body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(90);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}
}  // namespace

// A link is followed: the file it names is replaced, the link stays a link (also one that
// points to a file not yet there, and a link to a link).
TEST(AtomicFile, FollowsLinksAndReplacesWhatTheyName)
{
    TempFolder t("atomic_link");
    fs::create_directories(t.dir / "real");
    std::ofstream(t.Path("real/a.sav")) << "old";
    fs::create_symlink("real/a.sav", t.dir / "link.sav");
    fs::create_symlink("link.sav", t.dir / "link2.sav");
    fs::create_symlink(t.Path("real/new.sav"), t.dir / "dangling.sav");
    for (const char* name : {"link.sav", "link2.sav", "dangling.sav"}) {
        std::string error;
        ASSERT_TRUE(korvex::WriteFileAtomically(t.Path(name), kNew.data(), kNew.size(), &error)) << name << error;
        EXPECT_TRUE(fs::is_symlink(t.dir / name)) << name;
        EXPECT_EQ(ReadText(t.Path(name)), kNew) << name;
    }
    EXPECT_EQ(ReadText(t.Path("real/a.sav")), kNew);
    EXPECT_EQ(ReadText(t.Path("real/new.sav")), kNew);
    fs::create_symlink("loop2", t.dir / "loop1");
    fs::create_symlink("loop1", t.dir / "loop2");
    std::string error;
    EXPECT_FALSE(korvex::WriteFileAtomically(t.Path("loop1"), "x", 1, &error));
    EXPECT_NE(error.find("loop1"), std::string::npos) << error;
}

// A FIFO (and, where this user may make one, a character device) is written to in place and
// stays what it was; no plain file takes its place.
TEST(AtomicFile, WritesDevicesAndFifosInPlace)
{
    TempFolder t("atomic_fifo");
    const std::string fifo = t.Path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = ReadText(fifo); });
    std::string error;
    EXPECT_TRUE(korvex::WriteFileAtomically(fifo, kNew.data(), kNew.size(), &error)) << error;
    reader.join();
    EXPECT_EQ(received, kNew);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(t.Entries(), 1u);

    const std::string null = t.Path("null");
    if (::mknod(null.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) != 0) {
        std::printf("no character device made here (%s); the FIFO stands for it\n", std::strerror(errno));
        return;
    }
    EXPECT_TRUE(korvex::WriteFileAtomically(null, kNew.data(), kNew.size(), &error)) << error;
    EXPECT_TRUE(fs::is_character_file(null));
    EXPECT_EQ(t.Entries(), 2u);
}

// A replaced file keeps its mode (and, when the writer may set it, its owner); a file the
// user could not open for writing is refused although the folder would allow a rename; a
// file whose owner the writer cannot keep is written into rather than replaced.
TEST(AtomicFile, RespectsOwnerAndPermissionsOfTheReplacedFile)
{
    TempFolder t("atomic_owner");
    const bool root = ::geteuid() == 0;
    fs::permissions(t.dir, fs::perms::all);  // 0777, no sticky bit: anyone may rename here

    const std::string kept = t.Path("kept.sav");
    std::ofstream(kept) << "old";
    ::chmod(kept.c_str(), 0640);
    if (root) {
        ASSERT_EQ(::chown(kept.c_str(), 65534, 65534), 0);
    }
    std::string error;
    ASSERT_TRUE(korvex::WriteFileAtomically(kept, kNew.data(), kNew.size(), &error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat(kept.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 65534u);
    }
    EXPECT_EQ(ReadText(kept), kNew);

    // Someone else's read-only file (as a non-root user: one's own, made read-only).
    const std::string locked = t.Path("locked.sav");
    std::ofstream(locked) << "old";
    ::chmod(locked.c_str(), 0444);
    const int refused = AsOtherUser([&] {
        std::string why;
        const bool wrote = korvex::WriteFileAtomically(locked, "x", 1, &why);
        return !wrote && why.find("Permission denied") != std::string::npos ? 0 : 1;
    });
    EXPECT_EQ(refused, 0);
    EXPECT_EQ(ReadText(locked), "old");
    EXPECT_EQ(t.Entries(), 2u);
    if (!root) return;

    // Writable by all but owned by root: the other user's save keeps root as the owner.
    const std::string shared = t.Path("shared.sav");
    std::ofstream(shared) << "old";
    ::chmod(shared.c_str(), 0666);
    EXPECT_EQ(AsOtherUser([&] { return korvex::WriteFileAtomically(shared, kNew.data(), kNew.size(), nullptr) ? 0 : 1; }), 0);
    ASSERT_EQ(::stat(shared.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mode & 07777, 0666u);
    EXPECT_EQ(ReadText(shared), kNew);
    EXPECT_EQ(t.Entries(), 3u);
}
