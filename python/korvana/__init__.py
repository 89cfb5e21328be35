"""Korvana: hierarchical cluster analysis that shows how much the tree
depends on the order of the objects.

The proximity matrix is clustered once per random permutation of its
objects; every permutation's fit (SSDif, normalized SSDif, cophenetic
correlation), solution id and hierarchy id are recorded, and the distinct
best-fitting trees are kept. The numbers are those of korvana-batch's
results file for the same request, to the bit.

    >>> import numpy as np, korvana
    >>> X = np.random.default_rng(1).integers(0, 3, size=(20, 3))
    >>> D = korvana.proximities(X, "BLOCK")
    >>> r = korvana.run(D, "average", permutations=100, seed=7)
    >>> r.permutations.head()                     # doctest: +SKIP
    >>> from scipy.cluster.hierarchy import dendrogram
    >>> dendrogram(r.solutions[0].linkage)        # doctest: +SKIP
    >>> print(r.verdict)                          # doctest: +SKIP

Objects are numbered from 0; permutations from 1 (permutation 1 is the
given order when ``identity`` is true).
"""

from __future__ import annotations

import numbers
from typing import Any, Callable, Optional, Sequence

import numpy as np

from . import _korvana

__all__ = ["run", "proximities", "is_similarity", "Result", "Solution", "METHODS", "MEASURES"]

#: The method names run() takes.
METHODS = tuple(_korvana.method_keywords())
#: The measure keywords proximities() takes (korvana-batch's --measure).
MEASURES = tuple(_korvana.measure_keywords())

try:  # pandas is optional
    import pandas as _pandas
except ImportError:  # pragma: no cover - exercised where pandas is missing
    _pandas = None


def _numbers(value: Any, name: str) -> np.ndarray:
    array = np.asarray(value)
    if array.dtype.kind not in "fiu":
        raise TypeError(f"{name} must hold real numbers, not values of dtype {array.dtype}")
    return np.ascontiguousarray(array, dtype=np.float64)


def _integer(value: Any, name: str) -> int:
    if isinstance(value, bool) or not isinstance(value, numbers.Integral):
        raise TypeError(f"{name} must be an integer, not {type(value).__name__}")
    return int(value)


def proximities(X: Any, measure: str = "SEUCLID", standardize: Optional[str] = None,
                by: str = "variables", *, power: int = 2, root: int = 2, present: int = 1,
                absent: int = 0, absolute: bool = False, reverse: bool = False,
                rescale: bool = False) -> np.ndarray:
    """The proximities between the rows of ``X`` as scipy's condensed vector.

    The measures and standardizations are the PROXIMITIES command's, by the
    keywords korvana-batch's ``--measure`` and ``--standardize`` take
    (``MEASURES``; standardize ``None``/"NONE", "Z", "RANGE", "RANGE1",
    "MAX", "MEAN", "SD", applied by "variables" or by "cases"). ``power``
    and ``root`` are MINKOWSKI's and POWER's, ``present`` and ``absent`` the
    binary measures' values; ``absolute``, ``reverse`` and ``rescale`` the
    transformations. Some measures (COSINE, CORRELATION, most binary ones)
    give similarities: pass ``similarity=True`` to run() for them
    (``is_similarity`` tells). Every value of ``X`` must be a finite number.
    """
    data = _numbers(X, "X")
    if data.ndim != 2:
        raise ValueError(f"X must be two-dimensional (rows are the objects), not of shape {data.shape}")
    return _korvana.proximities(data, measure, standardize or "NONE", by, _integer(power, "power"),
                                _integer(root, "root"), _integer(present, "present"),
                                _integer(absent, "absent"), bool(absolute), bool(reverse), bool(rescale))


def is_similarity(measure: str, reverse: bool = False) -> bool:
    """Whether proximities() gives similarities for this measure (REVERSE turns it round)."""
    return _korvana.is_similarity(measure, bool(reverse))


class Solution:
    """A kept solution (a best-fitting merge order).

    Attributes: ``id`` (the solution id), ``hierarchy`` (its hierarchy id),
    ``permutation`` (from 1), ``seed`` (None for the identity), ``ssdif``,
    ``normalized_ssdif``, ``cophenetic_correlation``, ``linkage``,
    ``leaf_order``, ``schedule`` (per stage: ``cluster1``, ``cluster2`` named
    by their lowest objects, ``coefficient``, ``height``, ``folded``),
    ``newick``, ``hierarchy_newick``, ``support`` (None unless asked for:
    per stage ``support_all``, ``support_best``, ``hierarchy_support_all``,
    ``hierarchy_support_best``) and ``others`` (with
    ``solutions="hierarchies"``: the other kept merge orders of this
    hierarchy, each a dict of ``id``, ``permutation`` and ``seed``).

    ``linkage`` is scipy's linkage matrix Z (n - 1 rows of [a, b, height,
    count]; leaves 0 .. n-1, the cluster formed at stage i numbered n + i;
    a < b). The height is the one the fit uses: the merge's coefficient, and
    for Ward's method the merge's own value (the increase of the error sum
    of squares), not the accumulated coefficient. scipy's
    ``is_valid_linkage``, ``dendrogram``, ``fcluster`` and ``cophenet``
    accept it; centroid and median linkage can merge below an earlier
    height, so ``is_monotonic`` may be false for them (fcluster's
    "distance" criterion then cuts inside such an inversion). For
    similarities the column holds the similarities, which fall as clusters
    grow: scipy expects distances, so turn them round (``s.max() - Z[:, 2]``)
    before drawing.
    """

    def __init__(self, fields: dict):
        self.id: str = fields["id"]
        self.hierarchy: str = fields["hierarchy"]
        self.permutation: int = fields["permutation"]
        self.seed: Optional[int] = fields["seed"]
        self.ssdif: float = fields["ssdif"]
        self.normalized_ssdif: float = fields["normalized_ssdif"]
        self.cophenetic_correlation: float = fields["cophenetic_correlation"]
        self.linkage: np.ndarray = fields["linkage"]
        self.leaf_order: np.ndarray = fields["leaf_order"]
        self.schedule: dict = fields["schedule"]
        self.support: Optional[dict] = fields["support"]
        self.newick: str = fields["newick"]
        self.hierarchy_newick: str = fields["hierarchy_newick"]
        self.others: list = fields["others"]

    def membership(self, k: int) -> np.ndarray:
        """The cluster (1 .. k) of every object, in the matrix's order, when
        the tree is cut into k clusters: the partition its first n - k merges
        leave, the clusters numbered by their first object, as korvana-batch's
        Cluster Membership table and the results file's "membership" give it.
        Raises ValueError for k outside 1 .. n."""
        return _korvana.membership(self.schedule["cluster1"], self.schedule["cluster2"], int(k))

    def __repr__(self) -> str:
        return (f"Solution(id={self.id!r}, permutation={self.permutation}, seed={self.seed}, "
                f"normalized_ssdif={self.normalized_ssdif!r})")


def _permutations_table(columns: dict):
    seeds = columns["seed"].astype(np.int64)
    identity = columns["identity"]
    if _pandas is not None:
        return _pandas.DataFrame({
            "permutation": columns["permutation"],
            "seed": _pandas.Series(seeds, dtype="Int64").mask(identity),
            "solution": columns["solution"],
            "ssdif": columns["ssdif"],
            "normalized_ssdif": columns["normalized_ssdif"],
            "cophenetic_correlation": columns["cophenetic_correlation"],
            "hierarchy": columns["hierarchy"],
        })
    table = np.zeros(len(seeds), dtype=[("permutation", "i4"), ("seed", "f8"), ("solution", "U32"),
                                        ("ssdif", "f8"), ("normalized_ssdif", "f8"),
                                        ("cophenetic_correlation", "f8"), ("hierarchy", "U32")])
    for name in table.dtype.names:
        table[name] = columns[name]
    table["seed"] = np.where(identity, np.nan, seeds)  # missing for the identity
    return table


class Result:
    """The results of run().

    ``permutations``: one row per completed permutation, a pandas DataFrame
    when pandas is installed (the seed a nullable integer, missing for the
    identity), otherwise a numpy structured array (the seed as float, NaN for
    the identity); columns ``permutation``, ``seed``, ``solution``,
    ``ssdif``, ``normalized_ssdif`` (rounded to 13 significant digits, the
    value compared), ``cophenetic_correlation`` and ``hierarchy``.
    ``solutions``: the kept solutions (Solution), best-fitting all.
    ``distinct_solutions`` and ``distinct_hierarchies``: dicts with ``all``
    and ``best``, each with ``permutations``, ``distinct``, ``seen_once``,
    ``seen_twice``, ``estimated_total`` and ``curve``. ``consensus``: dict
    with ``all`` and ``best``, each None or a dict of ``clusters`` (each
    ``objects`` and ``support``) and ``newick``. ``best_fit``: ``value``,
    ``first_reached_at``, ``reached_by`` and ``records``. ``verdict``: the
    verdict in words. ``order_free``: None, or a dict of the order-free
    tree (``merges``, ``ssdif``, ``normalized_ssdif``,
    ``cophenetic_correlation``, ``hierarchy``, ``newick``, ``linkage`` of its
    binary form). Also ``method``, ``similarity``, ``objects``, ``labels``,
    ``seed`` (the start seed used) and ``completed``.
    """

    def __init__(self, fields: dict, labels: Optional[list]):
        self.method: str = fields["method"]
        self.similarity: bool = fields["similarity"]
        self.objects: int = fields["objects"]
        self.labels: Optional[list] = labels
        self.seed: int = fields["seed"]
        self.permutations = _permutations_table(fields["permutations"])
        self.solutions: list = [Solution(s) for s in fields["solutions"]]
        self.distinct_solutions: dict = fields["distinct_solutions"]
        self.distinct_hierarchies: dict = fields["distinct_hierarchies"]
        self.consensus: dict = fields["consensus"]
        self.best_fit: dict = fields["best_fit"]
        self.verdict: str = fields["verdict"]
        self.order_free: Optional[dict] = fields["order_free"]
        self.order_free_problem: Optional[str] = fields["order_free_problem"]
        self.completed: int = fields["completed"]

    def __repr__(self) -> str:
        return (f"Result(method={self.method!r}, objects={self.objects}, completed={self.completed}, "
                f"solutions={len(self.solutions)}, hierarchies={self.distinct_hierarchies['all']['distinct']})")


def _labels_of(D: Any, labels: Optional[Sequence[str]]) -> Optional[list]:
    if labels is None and _pandas is not None and isinstance(D, _pandas.DataFrame):
        labels = list(D.index)
    if labels is None:
        return None
    return [str(label) for label in labels]


def run(D: Any, method: str = "average", permutations: int = 1000, seed: Optional[int] = None,
        identity: bool = True, jobs: Optional[int] = None, similarity: bool = False,
        labels: Optional[Sequence[str]] = None, support: bool = False, solutions: str = "orders",
        *, order_free: bool = False, progress: Optional[Callable[[int, int], Any]] = None) -> Result:
    """Clusters the proximities once per permutation of the objects.

    ``D``: scipy's condensed vector or a square symmetric matrix (numpy
    array, or a pandas DataFrame whose index gives the labels) of
    dissimilarities, or of similarities with ``similarity=True``.
    ``method``: one of ``METHODS`` ("average" between groups, "within"
    groups, "single", "complete", "centroid", "median", "ward").
    ``permutations``: how many (at least 1). ``seed``: the start seed (a
    32-bit integer; None takes the clock's seconds, given back as
    ``Result.seed``). ``identity``: the first permutation is the given
    order. ``jobs``: permutations at once (None: one per hardware thread);
    the results do not depend on it. ``support``: each solution carries the
    support of its clusters. ``solutions``: "orders" (every kept merge
    order) or "hierarchies" (one per hierarchy). ``order_free``: builds the
    order-free tree too. ``progress``: called as ``progress(completed,
    total)`` from the calling thread as permutations complete.

    The GIL is released while the permutations run. Ctrl-C cancels the run
    and raises KeyboardInterrupt; an exception the progress callback raises
    cancels it and is raised. Raises TypeError for values that are not
    numbers and ValueError for a matrix or request that cannot be run (not
    square, not symmetric, not a number, fewer than 2 objects, fewer than 1
    permutation, an unknown method).
    """
    values = _numbers(D, "D")
    if values.ndim == 2:
        if values.shape[0] != values.shape[1]:
            raise ValueError(f"D must be a condensed vector or a square matrix, not of shape {values.shape}")
        square = True
    elif values.ndim == 1:
        square = False
    else:
        raise ValueError(f"D must be a condensed vector or a square matrix, not of shape {values.shape}")
    names = _labels_of(D, labels)
    if progress is not None and not callable(progress):
        raise TypeError("progress must be callable as progress(completed, total)")
    fields = _korvana.run(values, square, bool(similarity), names or [], str(method),
                          _integer(permutations, "permutations"),
                          None if seed is None else _integer(seed, "seed"), bool(identity),
                          0 if jobs is None else _integer(jobs, "jobs"), bool(support), str(solutions),
                          bool(order_free), progress)
    return Result(fields, names)
