from typing import Any, Callable, Optional, Sequence, TypedDict

import numpy as np

METHODS: tuple[str, ...]
MEASURES: tuple[str, ...]

class Accounting(TypedDict):
    permutations: int
    distinct: int
    seen_once: int
    seen_twice: int
    estimated_total: float
    curve: np.ndarray

class ConsensusCluster(TypedDict):
    objects: list[int]
    support: float

class ConsensusTree(TypedDict):
    clusters: list[ConsensusCluster]
    newick: str

class Other(TypedDict):
    id: str
    permutation: int
    seed: Optional[int]

class Solution:
    id: str
    hierarchy: str
    permutation: int
    seed: Optional[int]
    ssdif: float
    normalized_ssdif: float
    cophenetic_correlation: float
    linkage: np.ndarray
    leaf_order: np.ndarray
    schedule: dict[str, np.ndarray]
    support: Optional[dict[str, np.ndarray]]
    newick: str
    hierarchy_newick: str
    others: list[Other]
    def membership(self, k: int) -> np.ndarray: ...

class Result:
    method: str
    similarity: bool
    objects: int
    labels: Optional[list[str]]
    seed: int
    permutations: Any  # pandas.DataFrame, or a numpy structured array without pandas
    solutions: list[Solution]
    distinct_solutions: dict[str, Accounting]
    distinct_hierarchies: dict[str, Accounting]
    consensus: dict[str, Optional[ConsensusTree]]
    best_fit: dict[str, Any]
    verdict: str
    order_free: Optional[dict[str, Any]]
    order_free_problem: Optional[str]
    completed: int

def proximities(X: Any, measure: str = ..., standardize: Optional[str] = ..., by: str = ..., *,
                power: int = ..., root: int = ..., present: int = ..., absent: int = ...,
                absolute: bool = ..., reverse: bool = ..., rescale: bool = ...) -> np.ndarray: ...

def is_similarity(measure: str, reverse: bool = ...) -> bool: ...

def run(D: Any, method: str = ..., permutations: int = ..., seed: Optional[int] = ..., identity: bool = ...,
        jobs: Optional[int] = ..., similarity: bool = ..., labels: Optional[Sequence[str]] = ...,
        support: bool = ..., solutions: str = ..., *, order_free: bool = ...,
        progress: Optional[Callable[[int, int], Any]] = ...) -> Result: ...
