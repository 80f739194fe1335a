// Special functions of the intensity statistics: the regularised incomplete
// gamma function, the inverse error function and the logarithm of the gamma
// function, with the small error-message routine they share. The error
// conventions (IER 129/130 for terminal errors, a message level, a traceback
// of two routine names) follow the numerical library whose interfaces the
// routines imitate.
#pragma once

#include <string>

namespace zanek {

// The largest single-precision value the routines return on a domain error.
constexpr float kHugeReal = 3.402823e37f;

// PROB := P(p, x) = (1/Gamma(p)) * integral_0^x exp(-t) t^(p-1) dt.
// x < 0: IER = 129; p <= 0: IER = 130 (PROB = 0 and a terminal-error
// message in both cases); otherwise IER = 0.
void MDGAM(float X, float P, float& PROB, int& IER);

// Y with erf(Y) = P for -1 < P < 1 (IER = 0); otherwise IER = 129,
// Y = +-kHugeReal with the sign of P, and a terminal-error message.
void MERFI(float P, float& Y, int& IER);

// ln|Gamma(x)|. |x| >= 4.03e36 (error 129) or x = 0 or a negative integer
// (error 130) give kHugeReal and a terminal-error message naming
// MLGAMA=ALGAMX.
float ALGAMX(float X);

// Error message of routine NAME for error IER, or (NAME = "UERSET") sets the
// message level to IER and returns the previous level in IER.
void UERTST(int& IER, const std::string& NAME);

// Copies min(nchars, 129) characters of PACKED into UNPAKD; NCHMTB := the
// position of the last non-blank one (0 when all blank or nchars < 1).
void USPKD(const std::string& PACKED, int NCHARS, std::string& UNPAKD, int& NCHMTB);

// IOPT 1: returns the input and output units of the error routines;
// 2: sets the input unit from NIN; 3: sets the output unit from NOUT.
void UGETIO(int IOPT, int& NIN, int& NOUT);

// Restores the error routines' state to its start-of-run values (level 4,
// units 5 and 6, no traceback).
void reset_error_routines();

}  // namespace zanek
