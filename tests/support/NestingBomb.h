#pragma once

#include <string>

// Sequences nested inside each other, innermost item holding one small element. With a few
// thousand levels DCMTK's recursive reader runs out of stack on it.
struct NestingBomb {
  enum class Syntax { ExplicitLittle, ImplicitLittle, ExplicitBig, Deflated };
  enum class Carrier {
    Sequence,         // a standard SQ element
    UnknownVr,        // a private UN element of undefined length, read as implicit VR
    MetaHeader,       // an SQ inside the file meta header
    PrivateSequence,  // a private sequence known to the private dictionary
    MetaGroupLength,  // the meta header's group length written as an SQ
  };
  int levels = 5000;
  Syntax syntax = Syntax::ExplicitLittle;
  Carrier carrier = Carrier::Sequence;
  bool definedLengths = false;
  bool withMetaHeader = true;

  std::string bytes() const;
};
