// A library that exports no self-registration entry point.
extern "C" __attribute__((visibility("default"))) int FunzioneQualsiasi() {
  return 1;
}
