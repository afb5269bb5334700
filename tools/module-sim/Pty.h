#pragma once
// The pseudo-terminal that stands in for the serial cable, and the ports-folder link that lets the
// tool find it as Com<n>.

#include <string>

namespace modsim {

class Pty {
public:
    Pty() = default;
    ~Pty() { close(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Opens a new terminal pair; on failure returns false with the reason in `error`.
    bool open(std::string& error);
    // Closes both of our ends: the other side sees a hang-up.
    void close();

    bool isOpen() const { return master_ >= 0; }
    int master() const { return master_; }
    const std::string& path() const { return path_; }
    // Bytes written by us that the other side has not read yet (-1 if unknown).
    int unreadBySlave() const;

private:
    int master_ = -1;
    // Our own descriptor on the slave side: without it, the master reads EIO whenever the tool has
    // its port closed, and the terminal settings would reset between its openings.
    int slave_ = -1;
    std::string path_;
};

// $XDG_CONFIG_HOME/Ignivex_Log/ports/Com<n>, with ~/.config when the variable is unset or relative.
std::string portLinkPath(int port);

// Points `link` at `target`, creating the folders and replacing whatever is there.
bool placeLink(const std::string& link, const std::string& target, std::string& error);
// Removes `link` if it still points at `target` (someone may have re-pointed it since).
void removeLinkIfOurs(const std::string& link, const std::string& target);

}  // namespace modsim
