"""tovarn: a template engine for Python with its core in C++.

    import tovarn
    cfg = tovarn.TovConfiguration()
    cfg.put_template("hello.tvl", "Hello, ${name}!")
    print(cfg.get_template("hello.tvl").process({"name": "World"}))
"""
from ._tovarn import (PyObjectWrapper, TemplateModelAdapter, TovarnError, TovConfiguration,
                      TovTemplate)

__all__ = ["TovConfiguration", "TovTemplate", "PyObjectWrapper", "TemplateModelAdapter", "TovarnError"]
