#!/bin/bash
#SBATCH --job-name=korvana
#SBATCH --nodes=1
#SBATCH --ntasks-per-node=2
#SBATCH --cpus-per-task=1
#SBATCH --time=00:10:00
srun --mpi=pmix korvana-batch --jobs "$SLURM_CPUS_PER_TASK" "$@"
