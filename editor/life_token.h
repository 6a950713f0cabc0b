// Whether an object outlived a call that runs a message loop.  A message box,
// a nested dialog, the folder picker or a popup menu handles the messages of
// every window of the thread while it is up; a click or a posted command
// handled there can close the best settings dialog, which deletes its object
// with everything in it.  The code after such a call takes a watch first and
// returns at once when the object is gone.
#ifndef TIVORN_EDITOR_LIFE_TOKEN_H
#define TIVORN_EDITOR_LIFE_TOKEN_H

#include <memory>

class LifeWatch {
public:
    explicit LifeWatch(const std::shared_ptr<char> &life) : life_(life) {}
    // The object that gave this watch has been destroyed.
    bool Ended() const { return life_.expired(); }

private:
    std::weak_ptr<char> life_;
};

// A member of the watched object: it ends with it.
class LifeToken {
public:
    LifeToken() : life_(std::make_shared<char>('\0')) {}
    LifeToken(const LifeToken &) = delete;
    LifeToken &operator=(const LifeToken &) = delete;

    LifeWatch Watch() const { return LifeWatch(life_); }

private:
    std::shared_ptr<char> life_;
};

#endif
