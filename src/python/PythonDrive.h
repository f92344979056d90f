// roadsim.Drive: one drive that its caller steps by hand, and the functions that step or read
// several such drives at once.
#pragma once

#include "Readouts.h"
#include "Watcher.h"

#include <memory>

class PythonDrive {
  public:
    PythonDrive(const std::filesystem::path& course, const EpisodeSetup& setup);

    void reset(Seed seed);
    void step(const py::object& action);
    // Every later frame in a window, at real-time pace or speedUp times faster.
    void watch(double speedUp);
    py::array_t<uint8_t> frame() const { return frameArray(episode, frameBytes.data()); }
    py::array_t<uint8_t> screen() const;

    const Episode& stepped() const { return episode; }
    // For several drives at once: what must hold before the drive steps, and the step itself,
    // which runs without the GIL.
    void checkSteppable() const;
    void advance(const ControlCommand& command);
    const std::vector<uint8_t>& frameData() const { return frameBytes; }
    std::atomic<bool>& busyFlag() { return busy; }

  private:
    void takeFrame();

    Episode episode;
    std::vector<uint8_t> frameBytes;
    std::unique_ptr<Watcher> watcher;
    std::atomic<bool> busy{false};
};

void bindDrive(py::module_& module);
