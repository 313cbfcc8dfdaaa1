// The platform seam: each operating-system concern is an interface with one real
// implementation per OS; a test may put a double in its place for a while.
#pragma once

template <class I>
struct SeamTag {};

// The concern's header declares `I& ImplementacaoPadrao(SeamTag<I>)`, defined by
// its _win32.cpp / _posix.cpp file.
template <class I>
class Seam {
 public:
  static I& Atual() { return FSubstituto ? *FSubstituto : ImplementacaoPadrao(SeamTag<I>{}); }
  static I* Definir(I* ANovo) {
    I* anterior = FSubstituto;
    FSubstituto = ANovo;
    return anterior;
  }

 private:
  static inline I* FSubstituto = nullptr;
};

// Puts a double in place of a concern for the lifetime of this object.
template <class I>
class SubstituirConcern {
 public:
  explicit SubstituirConcern(I& ADuble) : FAnterior(Seam<I>::Definir(&ADuble)) {}
  ~SubstituirConcern() { Seam<I>::Definir(FAnterior); }
  SubstituirConcern(const SubstituirConcern&) = delete;
  SubstituirConcern& operator=(const SubstituirConcern&) = delete;

 private:
  I* FAnterior;
};
