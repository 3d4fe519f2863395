// BusyFlag: sets a Boolean for the life of a scope and clears it when the scope ends, however
// it ends; the archive run and the Archive button mark themselves under way with it, so that
// a click heard during a run is ignored. Qt-free.
#pragma once

namespace app {

class BusyFlag {
public:
    explicit BusyFlag(bool& flag) : m_flag(flag) { m_flag = true; }
    ~BusyFlag() { m_flag = false; }
    BusyFlag(const BusyFlag&) = delete;
    BusyFlag& operator=(const BusyFlag&) = delete;

private:
    bool& m_flag;
};

}  // namespace app
