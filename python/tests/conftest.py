from pathlib import Path

import pytest

REFERENCE = Path(__file__).resolve().parent / "reference"


@pytest.fixture
def reference(monkeypatch):
    """The folder of the programs' JSON, made the working folder so that rule files have the names they had."""
    monkeypatch.chdir(REFERENCE)
    return REFERENCE
