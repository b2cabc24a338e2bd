# Third-party libraries that effect modules link against natively.
