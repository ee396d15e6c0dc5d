// How a long stage asks whoever started the pipeline whether to stop. The
// plug-in answers it through the host callback (code 13); tests answer it
// from a script of their own. A default StopQuery never stops.
#ifndef CHROMALINE_FILTERS_ENGINE_STOP_QUERY_H_
#define CHROMALINE_FILTERS_ENGINE_STOP_QUERY_H_

struct StopQuery {
  bool (*ask)(void* context) = nullptr;
  void* context = nullptr;

  bool ShouldStop() const { return ask != nullptr && ask(context); }
};

#endif  // CHROMALINE_FILTERS_ENGINE_STOP_QUERY_H_
