#include "platform/apple/dispatch_main_queue.h"

#include <utility>

#import <dispatch/dispatch.h>

namespace orlimbo {

void DispatchMainQueue::post(Task task) {
  Task run = std::move(task);
  dispatch_async(dispatch_get_main_queue(), ^{
    run();
  });
}

void DispatchMainQueue::postAfter(double seconds, Task task) {
  Task run = std::move(task);
  dispatch_after(dispatch_time(DISPATCH_TIME_NOW, delayNanoseconds(seconds)),
                 dispatch_get_main_queue(), ^{
                   run();
                 });
}

void DispatchMainQueue::parkForever() { dispatch_main(); }

}  // namespace orlimbo
