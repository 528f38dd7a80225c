"""Shared by the resource generators."""


class Lcg:
    """Small deterministic generator, so regenerating gives identical files everywhere."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF

    def next(self):
        """Uniform in [0, 1)."""
        self.state = (1664525 * self.state + 1013904223) & 0xFFFFFFFF
        return self.state / 4294967296.0
