// Two network namespaces of the test's own, joined by a veth pair: the prober side
// 10.199.0.1, the target side answering at 10.199.0.2 and silently dropping echo
// requests to 10.199.0.3. Nothing outside these namespaces is touched.
#pragma once

#include <fcntl.h>
#include <sched.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>

class TestNetns {
 public:
  static constexpr const char* kAnswering = "10.199.0.2";
  static constexpr const char* kSilent = "10.199.0.3";

  TestNetns() {
    const std::string id = std::to_string(getpid());
    prober_ = "ztp" + id;
    target_ = "ztt" + id;
  }
  ~TestNetns() {
    Run("ip netns del " + prober_ + " 2>/dev/null");
    Run("ip netns del " + target_ + " 2>/dev/null");
  }

  // False, with the reason, when the system does not let us make namespaces.
  bool Create(std::string* why) {
    const std::string steps[] = {
        "ip netns add " + prober_,
        "ip netns add " + target_,
        "ip link add zta netns " + prober_ + " type veth peer name ztb netns " + target_,
        "ip -n " + prober_ + " addr add 10.199.0.1/24 dev zta",
        "ip -n " + target_ + " addr add 10.199.0.2/24 dev ztb",
        "ip -n " + target_ + " addr add 10.199.0.3/24 dev ztb",
        "ip -n " + prober_ + " link set zta up",
        "ip -n " + target_ + " link set ztb up",
        "ip -n " + prober_ + " link set lo up",
        "ip netns exec " + target_ + " nft add table ip zent_test",
        "ip netns exec " + target_ +
            " nft add chain ip zent_test input '{ type filter hook input priority 0; }'",
        "ip netns exec " + target_ +
            " nft add rule ip zent_test input ip daddr 10.199.0.3 icmp type echo-request drop",
    };
    for (const std::string& step : steps) {
      if (!Run(step + " 2>/dev/null")) {
        *why = "cannot set up test network namespaces (needs root, iproute2 and nftables): '" +
               step + "' failed";
        return false;
      }
    }
    return true;
  }

  // Lets every group of the prober namespace open unprivileged ICMP datagram sockets.
  bool OpenPingGroupRange() const {
    return Run("ip netns exec " + prober_ +
               " sysctl -q -w net.ipv4.ping_group_range='0 2147483647' >/dev/null 2>&1");
  }

  // Moves the calling thread into the prober namespace; threads it creates follow.
  bool EnterProber() const {
    int fd = open(("/var/run/netns/" + prober_).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = setns(fd, CLONE_NEWNET) == 0;
    close(fd);
    return ok;
  }

 private:
  static bool Run(const std::string& command) { return system(command.c_str()) == 0; }
  std::string prober_;
  std::string target_;
};
