"""The campaign runner's modules: settings, flights and their records, the
lock of a flight, one flight's run, the local and Slurm engines, the table."""
