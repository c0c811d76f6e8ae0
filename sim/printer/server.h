// The simulator on the network: one loopback TCP port for job intake, the link of ABAPI.so and
// the control interface (told apart by the connection's first line), and one loopback UDP port
// per printer for its SNMP agent.
#pragma once

#include <atomic>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "sim/printer/simulator.h"
#include "sim/printer/wire.h"

namespace printersim {

class Server {
  public:
    explicit Server(Simulator& simulator);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds every socket and starts serving; false with a reason when a port cannot be had.
    bool Start(std::string& error);
    // Stops serving, ends the clock (jobs still printing give up) and joins every thread.
    void Stop();

    simwire::Endpoint address() const { return address_; }
    std::string DeviceUri(const std::string& printerId) const;
    std::optional<uint16_t> SnmpPort(const std::string& printerId) const;
    // Serves one client on a connected stream until it is done: the first line says whether it
    // brings a job, speaks the link protocol or sends a control command. Leaves fd open.
    void ServeStream(int fd);

  private:
    struct Connection {
        int fd = -1;
        std::thread thread;
        bool done = false;
    };
    struct SnmpAgent {
        SimulatedPrinter* printer = nullptr;
        int fd = -1;
        uint16_t port = 0;
    };

    void AcceptLoop();
    void SnmpLoop();
    void Serve(Connection* connection);
    void ServeJob(int fd);
    void ServeLink(int fd);
    void ServeControl(int fd);
    void ReapFinished();

    Simulator& simulator_;
    simwire::Endpoint address_;
    int listenFd_ = -1;
    int wake_[2] = {-1, -1};
    std::vector<SnmpAgent> agents_;
    std::thread acceptThread_;
    std::thread snmpThread_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::list<Connection> connections_;
};

}  // namespace printersim
