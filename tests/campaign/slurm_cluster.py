"""A one-node Slurm cluster in a temporary folder for the campaign tests:
munged with a private socket, slurmctld and slurmd with a generated
slurm.conf (this host's name and CPU count, ports of their own, state, spool
and logs in the folder). stop() ends the daemons it started, by their pids."""
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time


class ClusterError(Exception):
    pass


def _free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _memory_mb():
    with open("/proc/meminfo") as f:
        for line in f:
            if line.startswith("MemTotal:"):
                return int(line.split()[1]) // 1024
    return 1024


class Cluster:
    def __init__(self):
        self.folder = None
        self.pid_files = []
        self.env = None

    def _need(self, program):
        path = shutil.which(program) or next((p for p in (f"/usr/sbin/{program}", f"/usr/bin/{program}")
                                              if os.path.exists(p)), None)
        if not path:
            raise ClusterError(f"{program} is not installed (tools/install-deps --tests installs it)")
        return path

    def start(self, timeout=30):
        if os.geteuid() != 0:
            raise ClusterError("a one-node Slurm needs root to start slurmd (CI runs as root)")
        munged, slurmctld, slurmd = (self._need(p) for p in ("munged", "slurmctld", "slurmd"))
        self._need("sbatch")
        if not os.path.exists("/etc/munge/munge.key"):
            raise ClusterError("/etc/munge/munge.key is missing (installing munge creates it)")
        # munged runs as the munge user: every folder above its socket must be
        # open to it, which mktemp's 0700 folders are not.
        self.folder = tempfile.mkdtemp(prefix="morva-slurm-")
        os.chmod(self.folder, 0o755)
        munge_dir = os.path.join(self.folder, "munge")
        os.mkdir(munge_dir)
        shutil.chown(munge_dir, "munge", "munge")
        socket_path = os.path.join(munge_dir, "sock")
        munge_pid = os.path.join(munge_dir, "munged.pid")
        self._daemon([munged, "--force", f"--socket={socket_path}", f"--pid-file={munge_pid}",
                      f"--log-file={os.path.join(munge_dir, 'munged.log')}",
                      f"--seed-file={os.path.join(munge_dir, 'seed')}"], munge_pid, user="munge")
        self._wait(lambda: os.path.exists(socket_path), timeout, "munged made no socket", munge_dir + "/munged.log")

        host = socket.gethostname().split(".")[0]
        for d in ("state", "spool", "log"):
            os.mkdir(os.path.join(self.folder, d))
        conf = os.path.join(self.folder, "slurm.conf")
        f = self.folder
        with open(conf, "w") as out:
            out.write(f"""ClusterName=morvatest
SlurmctldHost={host}(127.0.0.1)
SlurmUser=root
AuthType=auth/munge
AuthInfo=socket={socket_path}
CredType=cred/munge
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
ReturnToService=2
SlurmctldPort={_free_port()}
SlurmdPort={_free_port()}
StateSaveLocation={f}/state
SlurmdSpoolDir={f}/spool
SlurmctldPidFile={f}/slurmctld.pid
SlurmdPidFile={f}/slurmd.pid
SlurmctldLogFile={f}/log/slurmctld.log
SlurmdLogFile={f}/log/slurmd.log
SchedulerParameters=defer_batch=0
MinJobAge=2
NodeName={host} NodeAddr=127.0.0.1 CPUs={os.cpu_count()} RealMemory={max(256, _memory_mb() // 2)} State=UNKNOWN
PartitionName=test Nodes={host} Default=YES MaxTime=INFINITE State=UP
""")
        self.env = dict(os.environ, SLURM_CONF=conf)
        self._daemon([slurmctld, "-f", conf], os.path.join(f, "slurmctld.pid"))
        self._daemon([slurmd, "-f", conf], os.path.join(f, "slurmd.pid"))

        def idle():
            out = subprocess.run(["sinfo", "-h", "-o", "%t"], env=self.env, capture_output=True, text=True)
            return out.returncode == 0 and out.stdout.strip() in ("idle", "mix", "alloc")
        self._wait(idle, timeout, "the node did not come up idle", os.path.join(f, "log", "slurmctld.log"))
        return self

    def _daemon(self, command, pid_file, user=None):
        self.pid_files.append(pid_file)
        done = subprocess.run(command if user is None else ["runuser", "-u", user, "--"] + command,
                              capture_output=True, text=True, env=self.env or os.environ)
        if done.returncode != 0:
            raise ClusterError(f"{os.path.basename(command[0])} did not start: {done.stderr.strip()}")

    def _wait(self, ready, timeout, what, log):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if ready():
                return
            time.sleep(0.3)
        tail = ""
        try:
            with open(log) as f:
                tail = "".join(f.readlines()[-15:])
        except OSError:
            pass
        raise ClusterError(f"{what} within {timeout} s; last lines of {log}:\n{tail}")

    def stop(self):
        """Ends the daemons this cluster started (newest first), by the pids
        in their pid files, and removes the folder."""
        for pid_file in reversed(self.pid_files):
            try:
                with open(pid_file) as f:
                    pid = int(f.read().split()[0])
            except (OSError, ValueError, IndexError):
                continue
            try:
                os.kill(pid, signal.SIGTERM)
            except ProcessLookupError:
                continue
            for _ in range(50):
                try:
                    os.kill(pid, 0)
                except ProcessLookupError:
                    break
                time.sleep(0.1)
            else:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
        if self.folder:
            shutil.rmtree(self.folder, ignore_errors=True)
