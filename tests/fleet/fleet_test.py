#!/usr/bin/env python3
"""The print shop's view, with the real parts on loopback: two private schedulers with simulated
printers, plenwise-cli writing the textfile of a node exporter and serving its endpoint, and a
Prometheus server scraping both. A cleaning on each server and a firmware download on the
second must show in Prometheus with the right queue and server, a stopped printer as down, and
the alerting rules of docs/fleet.md must pass promtool."""
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

SOURCE = os.environ["PLENWISE_SOURCE"]
CLI = os.path.join(os.environ["PLENWISE_OUT"], "plenwise-cli")
# Every wait polls with a bound; a scrape comes every second.
WITHIN = 60


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def poll(what, check, within=WITHIN):
    deadline = time.monotonic() + within
    while True:
        result = check()
        if result:
            return result
        if time.monotonic() > deadline:
            fail("not within %d s: %s" % (within, what))
        time.sleep(0.1)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def read_env(path):
    values = {}
    with open(path) as f:
        for line in f:
            match = re.match(r"^([A-Z_]+)='?(.*?)'?$", line.strip())
            if match:
                values[match.group(1)] = match.group(2)
    return values


def firmware_file(version):
    # The version stands at offset 16, as in the maker's files.
    return b"ARVEN FIRMWARE\r\n" + version.encode() + b"\0\0\0" + bytes(i % 251 for i in range(3000))


class Shop:
    def __init__(self, root):
        self.root = root
        self.processes = []
        self.worlds_up = []

    def worlds(self, *queue_counts):
        """Brings up one world per count, at once: None for the usual queues, N for N queues of
        their own (Served001 ...). Gives their env files' values."""
        ups = []
        for index, queues in enumerate(queue_counts):
            path = os.path.join(self.root, "world%d" % (index + 1))
            env = dict(os.environ, PLENWISE_WORLD=path, PLENWISE_SIM_PRINT_MS="50",
                       PLENWISE_SIM_BUSY_MS="0")
            if queues:
                env["PLENWISE_WORLD_QUEUES"] = str(queues)
            self.worlds_up.append(path)
            ups.append((path, subprocess.Popen([SOURCE + "/scripts/world.sh", "up"], env=env,
                                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                               text=True)))
        for path, up in ups:
            output = up.communicate()[0]
            if up.returncode != 0:
                fail("world.sh up: " + output)
        return [read_env(os.path.join(path, "env")) for path, _ in ups]

    def start(self, arguments, env=None, log="process.log"):
        out = open(os.path.join(self.root, log), "w")
        process = subprocess.Popen(arguments, env=env, stdout=out, stderr=subprocess.STDOUT,
                                   start_new_session=True)
        self.processes.append(process)
        return process

    def stop(self):
        for process in self.processes:
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        downs = []
        for path in self.worlds_up:
            # A stopped simulator is let go on before the world stops it.
            pid_file = os.path.join(path, "printers", "simulator.pid")
            if os.path.exists(pid_file):
                try:
                    os.kill(int(open(pid_file).read()), signal.SIGCONT)
                except (OSError, ValueError):
                    pass
            downs.append(subprocess.Popen([SOURCE + "/scripts/world.sh", "down"],
                                          env=dict(os.environ, PLENWISE_WORLD=path),
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        for down in downs:
            down.wait()


def query(port, promql):
    url = "http://127.0.0.1:%d/api/v1/query?%s" % (port, urllib.parse.urlencode({"query": promql}))
    try:
        with urllib.request.urlopen(url, timeout=5) as answer:
            return json.load(answer)["data"]["result"]
    except OSError:
        return []


def main():
    root = tempfile.mkdtemp(prefix="plenwise-fleet-")
    # As root the scheduler runs the backend as user lp, which must reach the worlds.
    os.chmod(root, 0o755)
    shop = Shop(root)
    try:
        run(shop, root)
    finally:
        shop.stop()
        shutil.rmtree(root, ignore_errors=True)
    print("fleet test passed")


def run(shop, root):
    first, second = shop.worlds(None, 2)
    server1 = first["CUPS_SERVER"]
    server2 = second["CUPS_SERVER"]
    env = dict(os.environ, CUPS_SERVER=server1, PLENWISE_MACHINE=first["PLENWISE_MACHINE"],
               HOME=os.path.join(root, "home"), XDG_STATE_HOME=os.path.join(root, "state"))
    env.pop("PLENWISE_ABAPI_ADDRESS", None)

    def cli(*arguments):
        return subprocess.run([CLI, *arguments], env=env, capture_output=True, text=True,
                              timeout=120)

    # Prometheus takes a few seconds to start: it does while the service functions run.
    textfiles = os.path.join(root, "textfile")
    os.makedirs(textfiles)
    exporter_port, endpoint_port, prometheus_port = free_port(), free_port(), free_port()
    shop.start(["prometheus-node-exporter", "--web.listen-address=127.0.0.1:%d" % exporter_port,
                "--collector.disable-defaults", "--collector.textfile",
                "--collector.textfile.directory=" + textfiles], log="node-exporter.log")
    shop.start([CLI, "metrics", "--server", server1, "--server", server2, "--listen",
                "127.0.0.1:%d" % endpoint_port], env=env, log="endpoint.log")
    config = os.path.join(root, "prometheus.yml")
    with open(config, "w") as f:
        f.write("""global:
  scrape_interval: 1s
  scrape_timeout: 1s
scrape_configs:
  - job_name: node
    static_configs: [{targets: ['127.0.0.1:%d']}]
  - job_name: plenwise
    static_configs: [{targets: ['127.0.0.1:%d']}]
""" % (exporter_port, endpoint_port))
    shop.start(["prometheus", "--config.file=" + config,
                "--storage.tsdb.path=" + os.path.join(root, "prometheus"),
                "--web.listen-address=127.0.0.1:%d" % prometheus_port], log="prometheus.log")

    # A cleaning on each server (the default one and a queue of the other), a firmware download
    # on the other one's queue.
    for clean in (cli("clean", "WL4000", "--yes"),
                  cli("clean", "Served002", "--yes", "--server", server2)):
        if clean.returncode != 0:
            fail("clean: " + clean.stderr)
    firmware = os.path.join(root, "newer.upg")
    with open(firmware, "wb") as f:
        f.write(firmware_file("BN0107"))
    load = subprocess.Popen([CLI, "firmware", "load", "Served001", firmware, "--yes", "--wait",
                             "600", "--server", server2], env=env, stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True)
    journal = os.path.join(second["PLENWISE_SIM_JOURNAL"], "journal.log")
    poll("the second server's printer takes the firmware",
         lambda: os.path.exists(journal) and any(
             " served001 " in line and "firmware accepted" in line for line in open(journal)))
    load.send_signal(signal.SIGINT)  # the wait ends; the version is read back
    out, err = load.communicate(timeout=60)
    if load.returncode != 0 or "BN0107" not in out:
        fail("firmware load: %s %s" % (out, err))

    # What is written checks as Prometheus' own tool reads it, servers asked at once.
    metrics = cli("metrics", "--server", server1, "--server", server2)
    if metrics.returncode != 0:
        fail("metrics: " + metrics.stderr)
    check = subprocess.run(["promtool", "check", "metrics"], input=metrics.stdout,
                           capture_output=True, text=True)
    if check.returncode != 0:
        fail("promtool check metrics: " + check.stdout + check.stderr)

    written = cli("metrics", "--server", server1, "--server", server2, "--textfile", textfiles)
    if written.returncode != 0 or os.listdir(textfiles) != ["plenwise.prom"]:
        fail("metrics --textfile: %s %s" % (written.stderr, os.listdir(textfiles)))

    for job in ("node", "plenwise"):
        for server, queue, version in ((server1, "WL4000", "BN0105"),
                                       (server2, "Served001", "BN0107")):
            poll("%s: firmware %s of %s on %s" % (job, version, queue, server),
                 lambda: query(prometheus_port,
                               'plenwise_printer_firmware_info{job="%s",server="%s",queue="%s",'
                               'version="%s"} == 1' % (job, server, queue, version)))
        for server, queue in ((server1, "WL4000"), (server2, "Served002")):
            poll("%s: the last cleaning of %s on %s" % (job, queue, server),
                 lambda: query(prometheus_port,
                               'time() - plenwise_service_last_timestamp_seconds{job="%s",'
                               'server="%s",queue="%s",action="power-cleaning",result="sent"} < 600'
                               % (job, server, queue)))
        poll(job + ": the firmware download on the second server, done",
             lambda: query(prometheus_port,
                           'plenwise_service_actions_total{job="%s",server="%s",queue="Served001",'
                           'action="firmware-download",result="done"} == 1' % (job, server2)))
        # Each cleaning counts for its own queue and server alone.
        cleanings = sorted((r["metric"]["server"], r["metric"]["queue"], r["value"][1])
                           for r in query(prometheus_port,
                                          'plenwise_service_actions_total{job="%s",'
                                          'action="power-cleaning"}' % job))
        if cleanings != sorted([(server1, "WL4000", "1"), (server2, "Served002", "1")]):
            fail("%s: the cleanings counted are %s" % (job, cleanings))

    # The second server's printers stop answering: the endpoint marks them down, the first
    # server's stay up.
    os.kill(int(open(os.path.join(second["PLENWISE_WORLD"], "printers", "simulator.pid")).read()),
            signal.SIGSTOP)
    poll("the stopped printer shows down",
         lambda: query(prometheus_port, 'plenwise_printer_up{job="plenwise",server="%s",'
                                        'queue="Served001"} == 0' % server2), within=30)
    poll("the first server's printer stays up",
         lambda: query(prometheus_port, 'plenwise_printer_up{job="plenwise",server="%s",'
                                        'queue="WL4000"} == 1' % server1))
    if not query(prometheus_port, 'up{job="plenwise"} == 1'):
        fail("the endpoint's scrape failed while a printer was silent")

    # The example alerting rules of the shop's documentation.
    with open(os.path.join(SOURCE, "docs", "fleet.md")) as f:
        blocks = re.findall(r"```yaml\n(groups:.*?)```", f.read(), re.S)
    if len(blocks) != 1:
        fail("docs/fleet.md must hold one block of alerting rules, has %d" % len(blocks))
    rules = os.path.join(root, "rules.yml")
    with open(rules, "w") as f:
        f.write(blocks[0])
    check = subprocess.run(["promtool", "check", "rules", rules], capture_output=True, text=True)
    if check.returncode != 0:
        fail("promtool check rules: " + check.stdout + check.stderr)


if __name__ == "__main__":
    main()
