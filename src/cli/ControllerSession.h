#pragma once
// What every controller command of the command line shares: choosing the port (--port or the
// programmer's saved one), connecting with the programmer's message on failure, a progress bar
// on a terminal, waiting for the user where the programmer asks them to act, and the exit
// statuses.

#include "cli/CliCommand.h"
#include "link/ConsoleFilter.h"
#include "link/ControllerLink.h"
#include "link/Maintenance.h"

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace cli {

enum ControllerExit : int {
    kExitOk = 0,
    kExitFailed = 1,    // the controller or the transfer failed
    kExitUsage = 2,     // bad command line, or no port to use
    kExitBadFile = 3,   // the input file was refused before anything was sent
    kExitUnchecked = 4, // new firmware went out, but the read-back asked for never came
    kExitCancelled = 130,
};

// The options every controller command takes, followed by its own.
struct ControllerOptions {
    std::string port;       // as given or saved ("COM3", or a device path)
    bool portSaved = false; // the port came from the programmer's settings (read, never written)
    bool yes = false;       // go on without waiting for Enter
    bool quiet = false;     // no progress bar
};

// Parses args with the common options (--port, --yes, --quiet, --help) and the command's own.
// Returns -1 to go on, else the exit status to return (help printed, or a usage error).
int parseControllerArgs(const std::vector<std::string>& args, const char* help,
                        const std::vector<std::string>& valueOptions, const std::vector<std::string>& flags,
                        size_t positionals, ParsedArgs& parsed, ControllerOptions& options);

// The port number the programmer saved ("Com Port" of its settings), or 0 when none is saved.
int savedComPort();

// The text of a message as the command line shows it: the programmer's text, except where
// that tells the user to press a window's button ("Next", "OK"), which a terminal has not.
std::string commandLineText(int number);

// Prints the programmer's message (and a reason before it when given): to stdout for
// successes, to stderr for failures.
void printMessage(int number, const std::string& detail = {}, bool failure = true);
// Prints a maintenance job's result; returns the exit status it stands for (a file refused
// before anything was sent: kExitBadFile).
int reportResult(const comm::MaintenanceResult& result, int failureStatus = kExitFailed);

// "1 byte", "2 bytes".
std::string countOf(size_t n, const char* unit);

// Opens the port and brings the controller to its menu, then says which port it used; prints
// 10008 (after the system's reason when the port did not open) and returns false on failure.
// The programmer's saved port is never changed.
bool connectController(comm::ControllerLink& link, const ControllerOptions& options, bool sayPort = true);
// "COM7 (/dev/pts/3)", with ", saved by Taskloom" when the port came from its settings.
std::string portDescription(const ControllerOptions& options);

// Draws the link's progress as a bar on standard error while it lives, when that is a terminal.
class ProgressBar {
  public:
    ProgressBar(const comm::ControllerLink& link, const ControllerOptions& options, const char* label);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

  private:
    void draw(int percent);
    const comm::ControllerLink& link_;
    std::string label_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    int last_ = -1;
};

// Whether the command waits for Enter where the user must act: standard input is a terminal and
// --yes was not given.
bool waitsForEnter(const ControllerOptions& options);
// Shows a text the user must act on; waits for Enter when waitsForEnter(). What follows always
// starts on a line of its own, also when the input ends without a newline.
void waitForUser(const std::string& text, const ControllerOptions& options);
// Reads one answer line after a question; an input that ends gives an empty answer and a new line.
std::string readAnswer();

// The command line as a maintenance host: prints notices, waits for the user, streams
// controller text through the console filter to standard output.
class CliHost : public comm::MaintenanceHost {
  public:
    explicit CliHost(const ControllerOptions& options) : options_(options) {}
    void acknowledge(int message) override;
    void notice(int message) override;
    void consoleText(const uint8_t* bytes, size_t count) override;
    // Ends the controller's text with a line break unless it already ended with one, so that
    // what follows (and the shell's prompt) starts on a line of its own.
    void endLine();
    // A bar for the transfer that follows the user's acknowledgement (a backup waits for START).
    void showProgressAfterAcknowledge(const comm::ControllerLink& link, const char* label);
    // A bar for the transfer that follows a notice (recovery installs after "Installing ...").
    void showProgressOnNotice(const comm::ControllerLink& link, int message, const char* label);
    void endProgress() { bar_.reset(); }

  private:
    const ControllerOptions& options_;
    const comm::ControllerLink* barLink_ = nullptr;
    const char* barLabel_ = "";
    int barNotice_ = 0;
    std::unique_ptr<ProgressBar> bar_;
    comm::ConsoleFilter filter_;
    bool atLineStart_ = true;
};

// A maintenance command's controller: the link, the command line as its host and the jobs run
// over it. connect() and runWithProgress() are the steps every transfer command takes the same way.
class MaintenanceSession {
  public:
    explicit MaintenanceSession(const ControllerOptions& options)
        : host(options), jobs(link, host), options_(options)
    {
    }
    MaintenanceSession(const MaintenanceSession&) = delete;
    MaintenanceSession& operator=(const MaintenanceSession&) = delete;

    // connectController() on this session's link.
    // (The files are checked with the jobs' prepare functions before this is called.)
    bool connect() { return connectController(link, options_); }
    // Runs `job(jobs)` while a progress bar labelled `label` is drawn; the bar is finished
    // before this returns.
    template <class Job> comm::MaintenanceResult runWithProgress(const char* label, Job&& job)
    {
        ProgressBar bar(link, options_, label);
        return job(jobs);
    }

    comm::ControllerLink link;
    CliHost host;
    comm::Maintenance jobs;

  private:
    const ControllerOptions& options_;
};

// Ctrl-C and termination: while a Interrupt lives, they set stopRequested() (and cancel the
// link's boot-loader wait when a link is given) instead of ending the process.
class Interrupt {
  public:
    explicit Interrupt(comm::ControllerLink* link = nullptr);
    ~Interrupt();
    static const std::atomic<bool>& stopRequested();
};

} // namespace cli
