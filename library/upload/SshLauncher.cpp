// kaptorix-ssh: started by sftp in place of ssh. It asks to be killed when its sftp ends and
// then becomes ssh, so no ssh with the pass phrase in its environment outlives an upload,
// however Kaptorix and its sftp end.
#include <sys/prctl.h>
#include <unistd.h>
#include <csignal>

int main(int, char** argv)
{
    const pid_t parent = ::getppid();
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
        return 255;
    // sftp leads the process group Kaptorix made for it; once sftp is gone (before the line
    // above too) nothing would end this process.
    if (::getppid() != parent || parent != ::getpgrp())
        return 255;
    argv[0] = const_cast<char*>("ssh");
    ::execv("/usr/bin/ssh", argv);
    return 255;
}
