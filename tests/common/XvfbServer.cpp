// The test process's own Xvfb: started with -displayfd so the server reports the display it took.
#include "XvfbServer.h"
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ydxtest {

namespace {
pid_t server = -1;
}

bool OnPath(const char* tool) {
  return system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

int StartXvfb(const char* screen) {
  int pipefd[2];
  if (pipe(pipefd) != 0) return -1;
  pid_t parent = getpid();
  server = fork();
  if (server == 0) {
    // The server ends with the test process, also when a timeout killed that.
    if (prctl(PR_SET_PDEATHSIG, SIGTERM) != 0 || getppid() != parent) _exit(127);
    close(pipefd[0]);
    int devnull = open("/dev/null", O_WRONLY);
    if (devnull >= 0) {
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    std::string fd = std::to_string(pipefd[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-noreset", "-nolisten", "tcp",
           (char*)NULL);
    _exit(127);
  }
  close(pipefd[1]);
  if (server < 0) {
    close(pipefd[0]);
    return -1;
  }
  std::string number;
  struct pollfd wait = {pipefd[0], POLLIN, 0};
  while (poll(&wait, 1, 60000) > 0) {   // the deadline only bounds a hang
    char c;
    if (read(pipefd[0], &c, 1) != 1 || c == '\n') break;
    number += c;
  }
  close(pipefd[0]);
  if (number.empty()) return -1;
  setenv("DISPLAY", (":" + number).c_str(), 1);
  return atoi(number.c_str());
}

void StopXvfb() {
  if (server > 0) {
    kill(server, SIGTERM);
    int status;
    waitpid(server, &status, 0);
  }
  server = -1;
}

}  // namespace ydxtest
