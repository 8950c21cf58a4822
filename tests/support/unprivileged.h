#pragma once
// Runs part of a test as an unprivileged user. CI runs as root, and root
// passes every permission check and ignores a terminal's exclusive flag, so a
// test about either would prove nothing there. The body runs in a forked
// child that, when we are root, first drops to the user "nobody"
// (supplementary groups, group and user); as any other user it keeps that
// user, who is unprivileged already. Failed assertions inside the body are
// sent back through a pipe and reported in the parent at their file and line,
// as are an escaping exception, a crash and a body that does not end.
//
//   RunUnprivileged([&] {
//       EXPECT_NE(::geteuid(), 0u);
//       EXPECT_FALSE(ProfileWriteString("S", "k", "v", readOnlyPath));
//   });
//
// The child sees the parent's memory as it was at the fork, and nothing it
// changes comes back. Fork before starting threads of your own: only the
// calling thread lives on in the child. Files the body writes must lie where
// the unprivileged user may write (GiveToUnprivilegedUser, or a TempDir made
// inside the body).
#if !defined(_WIN32)
#include <functional>
#include <string>
#include <sys/types.h>

// The user and group the body runs as: nobody's when we are root, our own otherwise.
struct UnprivilegedUser {
    uid_t uid;
    gid_t gid;
};
UnprivilegedUser UnprivilegedUserIds();

// Gives a file or a directory tree to that user (chown); nothing when we are
// not root. Returns false when it could not.
bool GiveToUnprivilegedUser(const std::string& path);

// Runs body as the unprivileged user and reports its failures into the
// current test. timeoutMs bounds the whole child.
void RunUnprivileged(const std::function<void()>& body, int timeoutMs = 60000);
#endif
