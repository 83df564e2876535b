#pragma once
// PLACEHOLDER (replaced by the network work): the text cipher.
class TAes {};
